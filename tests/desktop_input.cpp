// The desktop's keyboard, mouse, one button and game controllers as device
// input, from synthetic SDL events.
#include "game/game.h"
#include "persist/settings.h"
#include "platform/desktop/host.h"
#include "platform/desktop/input.h"
#include "platform/desktop/pads.h"
#include "platform/desktop/window.h"
#include "platform/gapi/gapi.h"
#include "platform/wince/messages.h"
#include "shell/app.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/desktop_window.h"
#include "support/mod_builder.h"
#include "support/test_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <vector>

namespace {

constexpr int VK_A_BUTTON = 0xC1, VK_B_BUTTON = 0xC2, VK_C_BUTTON = 0xC3;
constexpr SDL_JoystickID PAD = 7;
const LPARAM ONE_POINT = MAKELPARAM(ONE_BUTTON_X, ONE_BUTTON_Y);
const LPARAM LETGO_POINT = MAKELPARAM(LETGO_X, LETGO_Y);

using Seen = std::tuple<UINT, WPARAM, LPARAM>;
using Seq = std::vector<Seen>;
const auto down = [](int vk) { return Seen{WM_KEYDOWN, vk, 0}; };
const auto up = [](int vk) { return Seen{WM_KEYUP, vk, 0}; };
const auto press = [](LPARAM at) { return Seen{WM_LBUTTONDOWN, 1, at}; };
const auto lift = [](LPARAM at) { return Seen{WM_LBUTTONUP, 0, at}; };
void button(int which, bool isDown) {
    SDL_Event e = sdlEvent(isDown ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP);
    e.cbutton.which = PAD, e.cbutton.button = static_cast<uint8_t>(which);
    translateDesktopEvent(e);
}
void axis(int which, int value) {
    SDL_Event e = sdlEvent(SDL_CONTROLLERAXISMOTION);
    e.caxis.which = PAD, e.caxis.axis = static_cast<uint8_t>(which);
    e.caxis.value = static_cast<int16_t>(value);
    translateDesktopEvent(e);
}

class Input : public ::testing::Test {
  protected:
    void SetUp() override { start("qvga"); }
    void TearDown() override {
        finishDesktopHost();
        resetMessageSystem();
    }
    void start(const char* device) {
        std::string error;
        ASSERT_TRUE(openTestDesktop(device, 1, makeTempFolder(), &error)) << error;
        pump();
        take();
    }
    void restart(const char* device) {
        finishDesktopHost();
        start(device);
    }
    void pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) translateDesktopEvent(e);
    }
    // The input messages queued, taken as the program takes them.
    Seq take() {
        Seq seen;
        MSG m;
        while (inputQueued() && GetMessageW(&m, nullptr, 0, 0))
            seen.emplace_back(m.message, m.wParam, m.lParam);
        return seen;
    }
    // The shell as the game starts it, with the device's own keys (the one
    // button presses none of the captured keys, and its tests hear nothing).
    void shellReady() {
        GXKeyList k = GXGetDefaultKeys(2);
        gxUp = k.vkUp, gxDown = k.vkDown, gxLeft = k.vkLeft, gxRight = k.vkRight;
        gxStart = k.vkStart, gxA = k.vkA, gxB = k.vkB, gxC = k.vkC;
        keyCaptureActive = tapX = tapY = tapPending = synthSelect = riseHeld = 0;
        appMode = MODE_FRONTEND;
        enterScreen(SCREEN_TITLE, 0);
    }
    void deliver() {
        for (const Seen& s : take())
            WndProc(nullptr, std::get<0>(s), std::get<1>(s), std::get<2>(s));
    }
};

TEST_F(Input, KeysPressOnceRepeatWhileHeldAndReleaseOnceSpaceIsTheStylus) {
    sendKey(SDLK_UP, true);
    sendKey(SDLK_UP, true, true);
    sendKey(SDLK_UP, false);
    sendKey(SDLK_UP, false); // a stray release sends nothing
    EXPECT_EQ(take(), (Seq{down(VK_UP), down(VK_UP), up(VK_UP)}));
    EXPECT_FALSE(keyIsDown(VK_UP));
    // Two keys giving the same code: one press, one release after both.
    sendKey(SDLK_RETURN, true);
    sendKey(SDLK_KP_ENTER, true);
    sendKey(SDLK_RETURN, false);
    EXPECT_EQ(take(), Seq{down(VK_RETURN)});
    sendKey(SDLK_KP_ENTER, false);
    EXPECT_EQ(take(), Seq{up(VK_RETURN)});
    for (SDL_Keycode k : {SDLK_z, SDLK_x, SDLK_c, SDLK_w, SDLK_F1, SDLK_F10}) sendKey(k, true);
    EXPECT_EQ(take(), (Seq{down(VK_A_BUTTON), down(VK_B_BUTTON), down(VK_C_BUTTON), down('W'),
                           down(0x70), down(0x79)}));
    // Space is the stylus at the one-button point, without repeats.
    for (bool repeat : {false, true, true}) sendKey(SDLK_SPACE, true, repeat);
    sendKey(SDLK_SPACE, false);
    EXPECT_EQ(take(), (Seq{press(ONE_POINT), lift(ONE_POINT)}));
    // The mouse and Space together are one stylus: one press, one release.
    sendMouse(true, 50, 60);
    sendKey(SDLK_SPACE, true);
    sendMouse(false, 50, 60);
    EXPECT_EQ(take(), Seq{press(MAKELPARAM(50, 60))});
    sendKey(SDLK_SPACE, false);
    EXPECT_EQ(take(), Seq{lift(ONE_POINT)});
    // The mouse moves the stylus only while it holds it.
    SDL_Event move = sdlEvent(SDL_MOUSEMOTION);
    move.motion.x = move.motion.y = 9;
    translateDesktopEvent(move);
    EXPECT_TRUE(take().empty());
}

TEST_F(Input, LosingTheFocusLetsGoOfEverythingButTheGameGoesOn) {
    sendKey(SDLK_UP, true);
    sendKey(SDLK_z, true);
    sendMouse(true, 100, 100);
    button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    button(SDL_CONTROLLER_BUTTON_A, true);
    take();
    sendWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(take(), (Seq{up(VK_LEFT), up(VK_UP), up(VK_A_BUTTON), lift(LETGO_POINT)}));
    // The real releases that come later are nothing new.
    sendKey(SDLK_UP, false);
    sendMouse(false, 100, 100);
    button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_TRUE(take().empty());
    // Keys work again afterwards; minimising sends nothing.
    sendKey(SDLK_UP, true);
    sendWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    sendWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(take(), Seq{down(VK_UP)});
    EXPECT_FALSE(programFinished());
}

// Mouse and window events taken out of SDL's queue come back in their places.
TEST_F(Input, EventsThroughSdlsQueueKeepTheirOrder) {
    SDL_Event k = sdlEvent(SDL_KEYDOWN), m = sdlEvent(SDL_MOUSEBUTTONDOWN),
              w = sdlEvent(SDL_WINDOWEVENT), k2 = k;
    k.key.keysym.sym = SDLK_UP;
    k2.key.keysym.sym = SDLK_DOWN;
    m.button.button = SDL_BUTTON_LEFT;
    m.button.x = 50, m.button.y = 60;
    w.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    w.window.windowID = SDL_GetWindowID(desktopWindow());
    for (SDL_Event* e : {&k, &m, &w, &k2}) SDL_PushEvent(e);
    pump();
    EXPECT_EQ(take(), (Seq{down(VK_UP), press(MAKELPARAM(50, 60)), up(VK_UP), lift(LETGO_POINT),
                           down(VK_DOWN)}));
}

TEST_F(Input, PadButtonsAndStickAreTheDevicesButtonsAndEachSourceHoldsItsKeys) {
    const std::pair<int, int> pairs[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_UP, VK_UP},     {SDL_CONTROLLER_BUTTON_DPAD_DOWN, VK_DOWN},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, VK_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, VK_RIGHT},
        {SDL_CONTROLLER_BUTTON_B, VK_B_BUTTON},     {SDL_CONTROLLER_BUTTON_X, VK_A_BUTTON},
        {SDL_CONTROLLER_BUTTON_Y, VK_C_BUTTON},     {SDL_CONTROLLER_BUTTON_START, VK_RETURN}};
    for (auto p : pairs) {
        button(p.first, true);
        button(p.first, true);
        button(p.first, false);
        EXPECT_EQ(take(), (Seq{down(p.second), up(p.second)})) << p.first;
    }
    button(SDL_CONTROLLER_BUTTON_A, true);
    button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(take(), (Seq{press(ONE_POINT), lift(ONE_POINT)}));
    button(SDL_CONTROLLER_BUTTON_BACK, true);
    button(SDL_CONTROLLER_BUTTON_GUIDE, true);
    EXPECT_TRUE(take().empty());
    // The stick: inside the dead zone, at its edge, then shaking between the two.
    for (int y : {-STICK_RELEASE, -STICK_PRESS}) axis(SDL_CONTROLLER_AXIS_LEFTY, y);
    EXPECT_TRUE(take().empty());
    for (int y : {-20000, -12000, -17000, -STICK_RELEASE}) axis(SDL_CONTROLLER_AXIS_LEFTY, y);
    EXPECT_EQ(take(), Seq{down(VK_UP)});
    axis(SDL_CONTROLLER_AXIS_LEFTY, -8000);
    EXPECT_EQ(take(), Seq{up(VK_UP)});
    for (int y : {32767, -32768, 0}) axis(SDL_CONTROLLER_AXIS_LEFTY, y); // straight across
    EXPECT_EQ(take(), (Seq{down(VK_DOWN), up(VK_DOWN), down(VK_UP), up(VK_UP)}));
    axis(SDL_CONTROLLER_AXIS_LEFTX, -30000);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);
    axis(SDL_CONTROLLER_AXIS_RIGHTX, 30000); // other sticks do nothing
    axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000);
    EXPECT_EQ(take(), (Seq{down(VK_LEFT), up(VK_LEFT), down(VK_RIGHT)}));
    // Several sources hold one key; a pad that goes away lets go of what it held.
    sendKey(SDLK_UP, true);
    button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    axis(SDL_CONTROLLER_AXIS_LEFTY, -30000);
    button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
    sendKey(SDLK_UP, false);
    EXPECT_EQ(take(), Seq{down(VK_UP)});
    axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
    EXPECT_EQ(take(), Seq{up(VK_UP)});
    sendKey(SDLK_z, true);
    for (int b : {SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_A})
        button(b, true); // X is A, also held by the keyboard
    axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);
    take();
    SDL_Event removed = sdlEvent(SDL_CONTROLLERDEVICEREMOVED);
    removed.cdevice.which = PAD;
    translateDesktopEvent(removed);
    EXPECT_EQ(take(), (Seq{up(VK_RIGHT), up(VK_B_BUTTON), lift(LETGO_POINT)}));
    sendKey(SDLK_z, false); // the keyboard still held A
    EXPECT_EQ(take(), Seq{up(VK_A_BUTTON)});
}

TEST_F(Input, ControllersComeAndGoWhileTheGameRuns) {
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                          SDL_CONTROLLER_BUTTON_MAX, 0);
    if (index < 0) GTEST_SKIP() << "no virtual joysticks here: " << SDL_GetError();
    // The window of a test never has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_PumpEvents();
    pump();
    ASSERT_EQ(openPadCount(), 1) << SDL_GetError();
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
    ASSERT_TRUE(joystick);
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, 1);
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_B, 1);
    SDL_JoystickUpdate();
    pump();
    EXPECT_EQ(take(), (Seq{press(ONE_POINT), down(VK_B_BUTTON)}));
    SDL_JoystickDetachVirtual(index);
    SDL_PumpEvents();
    pump();
    EXPECT_EQ(openPadCount(), 0);
    // SDL lets go of the buttons of a pad it loses before it says so.
    EXPECT_EQ(take(), (Seq{lift(ONE_POINT), up(VK_B_BUTTON)}));
}

TEST_F(Input, MappingFileNamedByTheEnvironmentIsRead) {
    std::string folder = makeTempFolder();
    const char* guid = "030000005e0400008e02000010010000";
    writeFile(folder + "/pads.txt", std::string(guid) + ",Cave Pad,a:b0,b:b1,leftx:a0,lefty:a1,"
                                                        "platform:Linux,\n");
    setenv("SDL_GAMECONTROLLERCONFIG_FILE", (folder + "/pads.txt").c_str(), 1);
    restart("qvga");
    char* mapping = SDL_GameControllerMappingForGUID(SDL_JoystickGetGUIDFromString(guid));
    ASSERT_TRUE(mapping);
    EXPECT_NE(std::string(mapping).find("Cave Pad"), std::string::npos);
    SDL_free(mapping);
    // A file that is not there is told about and the game goes on.
    setenv("SDL_GAMECONTROLLERCONFIG_FILE", (folder + "/none.txt").c_str(), 1);
    testing::internal::CaptureStderr();
    restart("qvga");
    std::string said = testing::internal::GetCapturedStderr();
    unsetenv("SDL_GAMECONTROLLERCONFIG_FILE");
    EXPECT_NE(said.find("cannot read the controller mappings " + folder + "/none.txt"),
              std::string::npos)
        << said;
}

// The one button through the program's own handlers.
TEST_F(Input, OneButtonRisesInAGameAndSelectsInTheMenusOnEveryDevice) {
    for (const char* device : {"qvga", "square", "small", "qvga-rotated", "raw"}) {
        SCOPED_TRACE(device);
        restart(device);
        shellReady();
        startGame();
        ASSERT_EQ(appMode, MODE_GAME);
        button(SDL_CONTROLLER_BUTTON_A, true);
        deliver();
        EXPECT_EQ(riseHeld, 1);
        sendWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST); // the fish does not rise for ever
        deliver();
        EXPECT_EQ(riseHeld, 0);
        EXPECT_EQ(appMode, MODE_GAME);

        enterScreen(SCREEN_TITLE, 2); // About
        sendKey(SDLK_SPACE, true);
        sendKey(SDLK_SPACE, false);
        deliver();
        tick(); // the front end finds no item under the tap
        EXPECT_EQ(synthSelect, 0);
        EXPECT_EQ(menuCursor, 2);
        WndProc(nullptr, WM_TIMER, TICK_TIMER_ID, 0); // becomes the select
        EXPECT_EQ(menuScreen, SCREEN_ABOUT);
    }
}

} // namespace
