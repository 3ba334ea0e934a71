// The desktop's keyboard, mouse, one button and game controllers as device
// input, on SDL's dummy video driver with synthetic events.
#include "game/game.h"
#include "persist/settings.h"
#include "platform/desktop/host.h"
#include "platform/desktop/input.h"
#include "platform/desktop/window.h"
#include "platform/desktop/pads.h"
#include "platform/gapi/device.h"
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
#include <vector>

namespace {

constexpr int VK_A_BUTTON = 0xC1, VK_B_BUTTON = 0xC2, VK_C_BUTTON = 0xC3;
constexpr SDL_JoystickID PAD = 7;

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen& o) const {
        return message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << "{" << s.message << ", " << s.wParam << ", " << s.lParam << "}";
}

const LPARAM ONE_POINT = MAKELPARAM(ONE_BUTTON_X, ONE_BUTTON_Y);
const LPARAM LETGO_POINT = MAKELPARAM(LETGO_X, LETGO_Y);

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
    // Whatever SDL has waiting, through the host's own translation.
    void pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) translateDesktopEvent(e);
    }
    // The input messages queued since last time, taken as the program takes
    // them (which also moves the key state on).
    std::vector<Seen> take() {
        std::vector<Seen> seen;
        MSG m;
        while (inputQueued() && GetMessageW(&m, nullptr, 0, 0))
            seen.push_back({m.message, m.wParam, m.lParam});
        return seen;
    }
    static SDL_Event event(Uint32 type) {
        SDL_Event e = {};
        e.type = type;
        return e;
    }
    void key(SDL_Keycode sym, bool down, bool repeat = false) {
        SDL_Event e = event(down ? SDL_KEYDOWN : SDL_KEYUP);
        e.key.keysym.sym = sym;
        e.key.repeat = repeat ? 1 : 0;
        translateDesktopEvent(e);
    }
    void mouse(bool down, int x, int y) {
        SDL_Event e = event(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = x, e.button.y = y;
        translateDesktopEvent(e);
    }
    void window(uint8_t what) {
        SDL_Event e = event(SDL_WINDOWEVENT);
        e.window.event = what;
        translateDesktopEvent(e);
    }
    void button(int which, bool down) {
        SDL_Event e = event(down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP);
        e.cbutton.which = PAD, e.cbutton.button = static_cast<uint8_t>(which);
        translateDesktopEvent(e);
    }
    void axis(int which, int value) {
        SDL_Event e = event(SDL_CONTROLLERAXISMOTION);
        e.caxis.which = PAD, e.caxis.axis = static_cast<uint8_t>(which);
        e.caxis.value = static_cast<int16_t>(value);
        translateDesktopEvent(e);
    }
    void padRemoved() {
        SDL_Event e = event(SDL_CONTROLLERDEVICEREMOVED);
        e.cdevice.which = PAD;
        translateDesktopEvent(e);
    }
    // The shell as the game starts it, with the device's own keys.
    void shellReady() {
        registerTestSounds();
        openSound();
        GXKeyList k = GXGetDefaultKeys(2);
        gxUp = k.vkUp, gxDown = k.vkDown, gxLeft = k.vkLeft, gxRight = k.vkRight;
        gxStart = k.vkStart, gxA = k.vkA, gxB = k.vkB, gxC = k.vkC;
        keyUp = 'W', keyDown = 'S', keyRestart = 'R', keyExit = 'Q';
        keyLeft = keyRight = KEY_UNASSIGNED;
        keyCaptureActive = 0;
        tapX = tapY = tapPending = synthSelect = 0;
        riseHeld = 0;
        language = LANG_ENGLISH;
        appMode = MODE_FRONTEND;
        enterScreen(SCREEN_TITLE, 0);
    }
    void deliver() {
        for (const Seen& s : take()) WndProc(nullptr, s.message, s.wParam, s.lParam);
    }
};

Seen down(int vk) {
    return {WM_KEYDOWN, static_cast<WPARAM>(vk), 0};
}
Seen up(int vk) {
    return {WM_KEYUP, static_cast<WPARAM>(vk), 0};
}

TEST_F(Input, KeysPressOnceRepeatWhileHeldAndReleaseOnce) {
    key(SDLK_UP, true);
    key(SDLK_UP, true, true);
    key(SDLK_UP, false);
    key(SDLK_UP, false); // a stray release sends nothing
    EXPECT_EQ(take(), (std::vector<Seen>{down(VK_UP), down(VK_UP), up(VK_UP)}));
    EXPECT_FALSE(keyIsDown(VK_UP));
    // Two keys giving the same code: one press, one release after both.
    key(SDLK_RETURN, true);
    key(SDLK_KP_ENTER, true);
    key(SDLK_RETURN, false);
    EXPECT_EQ(take(), std::vector<Seen>{down(VK_RETURN)});
    EXPECT_TRUE(keyIsDown(VK_RETURN));
    key(SDLK_KP_ENTER, false);
    EXPECT_EQ(take(), std::vector<Seen>{up(VK_RETURN)});
    key(SDLK_z, true);
    key(SDLK_x, true);
    key(SDLK_c, true);
    key(SDLK_w, true);
    key(SDLK_F1, true);
    key(SDLK_F10, true);
    EXPECT_EQ(take(), (std::vector<Seen>{down(VK_A_BUTTON), down(VK_B_BUTTON), down(VK_C_BUTTON),
                                         down('W'), down(0x70), down(0x79)}));
}

TEST_F(Input, SpaceIsTheStylusAtTheOneButtonPointWithoutRepeats) {
    key(SDLK_SPACE, true);
    key(SDLK_SPACE, true, true);
    key(SDLK_SPACE, true, true);
    key(SDLK_SPACE, false);
    EXPECT_EQ(take(),
              (std::vector<Seen>{{WM_LBUTTONDOWN, 1, ONE_POINT}, {WM_LBUTTONUP, 0, ONE_POINT}}));
    EXPECT_FALSE(keyIsDown(VK_SPACE));
    // The mouse and Space together are one stylus: one press, one release.
    mouse(true, 50, 60);
    key(SDLK_SPACE, true);
    mouse(false, 50, 60);
    EXPECT_EQ(take(), (std::vector<Seen>{{WM_LBUTTONDOWN, 1, MAKELPARAM(50, 60)}}));
    key(SDLK_SPACE, false);
    EXPECT_EQ(take(), (std::vector<Seen>{{WM_LBUTTONUP, 0, ONE_POINT}}));
    // The mouse moves the stylus only while it holds it.
    SDL_Event move = event(SDL_MOUSEMOTION);
    move.motion.x = move.motion.y = 9;
    translateDesktopEvent(move);
    EXPECT_TRUE(take().empty());
}

TEST_F(Input, LosingTheFocusLetsGoOfEverythingButTheGameGoesOn) {
    key(SDLK_UP, true);
    key(SDLK_z, true);
    mouse(true, 100, 100);
    button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    button(SDL_CONTROLLER_BUTTON_A, true);
    take();
    EXPECT_TRUE(keyIsDown(VK_UP));
    window(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(take(),
              (std::vector<Seen>{
                  up(VK_LEFT), up(VK_UP), up(VK_A_BUTTON), {WM_LBUTTONUP, 0, LETGO_POINT}}));
    EXPECT_FALSE(keyIsDown(VK_UP));
    EXPECT_FALSE(keyIsDown(VK_LEFT));
    EXPECT_FALSE(programFinished());
    // The real releases that come later are nothing new.
    key(SDLK_UP, false);
    mouse(false, 100, 100);
    button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_TRUE(take().empty());
    // Keys work again afterwards; minimising sends nothing.
    key(SDLK_UP, true);
    window(SDL_WINDOWEVENT_MINIMIZED);
    window(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(take(), std::vector<Seen>{down(VK_UP)});
    EXPECT_FALSE(programFinished());
}

// Mouse and window events are taken out of SDL's queue before its renderer
// sees them and come back wrapped; they still arrive in the order they came,
// among the keys.
TEST_F(Input, EventsThroughSdlsQueueKeepTheirOrder) {
    // SDL_PushEvent says 0 for an event the filter took: it is not lost.
    auto push = [](SDL_Event e) { SDL_PushEvent(&e); };
    SDL_Event k = event(SDL_KEYDOWN), m = event(SDL_MOUSEBUTTONDOWN), w = event(SDL_WINDOWEVENT);
    k.key.keysym.sym = SDLK_UP;
    m.button.button = SDL_BUTTON_LEFT;
    m.button.x = 50, m.button.y = 60;
    w.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    w.window.windowID = SDL_GetWindowID(desktopWindow());
    push(k);
    push(m);
    push(w);
    k.key.keysym.sym = SDLK_DOWN;
    push(k);
    pump();
    EXPECT_EQ(take(), (std::vector<Seen>{down(VK_UP),
                                         {WM_LBUTTONDOWN, 1, MAKELPARAM(50, 60)},
                                         up(VK_UP),
                                         {WM_LBUTTONUP, 0, LETGO_POINT},
                                         down(VK_DOWN)}));
}

TEST_F(Input, ControllerButtonsAreTheDevicesButtons) {
    const std::pair<int, int> pairs[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_UP, VK_UP},     {SDL_CONTROLLER_BUTTON_DPAD_DOWN, VK_DOWN},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, VK_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, VK_RIGHT},
        {SDL_CONTROLLER_BUTTON_B, VK_B_BUTTON},     {SDL_CONTROLLER_BUTTON_X, VK_A_BUTTON},
        {SDL_CONTROLLER_BUTTON_Y, VK_C_BUTTON},     {SDL_CONTROLLER_BUTTON_START, VK_RETURN}};
    for (auto p : pairs) {
        button(p.first, true);
        button(p.first, true);
        button(p.first, false);
        EXPECT_EQ(take(), (std::vector<Seen>{down(p.second), up(p.second)})) << p.first;
    }
    button(SDL_CONTROLLER_BUTTON_A, true);
    button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(take(),
              (std::vector<Seen>{{WM_LBUTTONDOWN, 1, ONE_POINT}, {WM_LBUTTONUP, 0, ONE_POINT}}));
    button(SDL_CONTROLLER_BUTTON_BACK, true);
    button(SDL_CONTROLLER_BUTTON_GUIDE, true);
    EXPECT_TRUE(take().empty());
}

TEST_F(Input, StickDirectionsPressOnceWithDeadZoneAndHysteresis) {
    axis(SDL_CONTROLLER_AXIS_LEFTY, -STICK_RELEASE); // inside the dead zone
    axis(SDL_CONTROLLER_AXIS_LEFTY, -STICK_PRESS);   // not yet beyond it
    EXPECT_TRUE(take().empty());
    axis(SDL_CONTROLLER_AXIS_LEFTY, -20000);
    axis(SDL_CONTROLLER_AXIS_LEFTY, -12000); // shaking between the two
    axis(SDL_CONTROLLER_AXIS_LEFTY, -17000);
    axis(SDL_CONTROLLER_AXIS_LEFTY, -STICK_RELEASE);
    EXPECT_EQ(take(), std::vector<Seen>{down(VK_UP)});
    axis(SDL_CONTROLLER_AXIS_LEFTY, -8000);
    EXPECT_EQ(take(), std::vector<Seen>{up(VK_UP)});
    axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
    axis(SDL_CONTROLLER_AXIS_LEFTY, -32768); // straight across
    axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
    EXPECT_EQ(take(), (std::vector<Seen>{down(VK_DOWN), up(VK_DOWN), down(VK_UP), up(VK_UP)}));
    axis(SDL_CONTROLLER_AXIS_LEFTX, -30000);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);
    axis(SDL_CONTROLLER_AXIS_RIGHTX, 30000); // other sticks do nothing
    axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000);
    EXPECT_EQ(take(), (std::vector<Seen>{down(VK_LEFT), up(VK_LEFT), down(VK_RIGHT)}));
}

// Keys, pad buttons and the stick holding one key release it after the last;
// a pad that goes away lets go of what it held.
TEST_F(Input, SourcesHoldingOneKeyReleaseItAfterTheLast) {
    key(SDLK_UP, true);
    button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    axis(SDL_CONTROLLER_AXIS_LEFTY, -30000);
    button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
    key(SDLK_UP, false);
    EXPECT_EQ(take(), std::vector<Seen>{down(VK_UP)});
    EXPECT_TRUE(keyIsDown(VK_UP));
    axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
    EXPECT_EQ(take(), std::vector<Seen>{up(VK_UP)});

    key(SDLK_z, true);
    button(SDL_CONTROLLER_BUTTON_X, true); // A, also held by the keyboard
    button(SDL_CONTROLLER_BUTTON_B, true);
    button(SDL_CONTROLLER_BUTTON_A, true);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);
    take();
    padRemoved();
    EXPECT_EQ(take(),
              (std::vector<Seen>{up(VK_RIGHT), up(VK_B_BUTTON), {WM_LBUTTONUP, 0, LETGO_POINT}}));
    EXPECT_TRUE(keyIsDown(VK_A_BUTTON));
    key(SDLK_z, false);
    EXPECT_EQ(take(), std::vector<Seen>{up(VK_A_BUTTON)});
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
    EXPECT_EQ(take(), (std::vector<Seen>{{WM_LBUTTONDOWN, 1, ONE_POINT}, down(VK_B_BUTTON)}));
    SDL_JoystickDetachVirtual(index);
    SDL_PumpEvents();
    pump();
    EXPECT_EQ(openPadCount(), 0);
    // SDL lets go of the buttons of a pad it loses before it says so.
    EXPECT_EQ(take(), (std::vector<Seen>{{WM_LBUTTONUP, 0, ONE_POINT}, up(VK_B_BUTTON)}));
    EXPECT_FALSE(keyIsDown(VK_B_BUTTON));
}

TEST_F(Input, MappingFileNamedByTheEnvironmentIsRead) {
    std::string folder = makeTempFolder();
    const char* guid = "030000005e0400008e02000010010000";
    writeFile(folder + "/pads.txt", std::string(guid) +
                                        ",Cave Pad,a:b0,b:b1,x:b2,y:b3,start:b7,leftx:a0,"
                                        "lefty:a1,dpup:h0.1,platform:Linux,\n");
    setenv("SDL_GAMECONTROLLERCONFIG_FILE", (folder + "/pads.txt").c_str(), 1);
    restart("qvga");
    unsetenv("SDL_GAMECONTROLLERCONFIG_FILE");
    char* mapping = SDL_GameControllerMappingForGUID(SDL_JoystickGetGUIDFromString(guid));
    ASSERT_TRUE(mapping);
    EXPECT_NE(std::string(mapping).find("Cave Pad"), std::string::npos);
    SDL_free(mapping);
    // A file that is not there is told about and the game goes on.
    setenv("SDL_GAMECONTROLLERCONFIG_FILE", (folder + "/none.txt").c_str(), 1);
    finishDesktopHost();
    testing::internal::CaptureStderr();
    start("qvga");
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
        ASSERT_GT(fishEnergy, 0);
        key(SDLK_SPACE, true);
        key(SDLK_SPACE, true, true);
        deliver();
        EXPECT_EQ(riseHeld, 1);
        key(SDLK_SPACE, false);
        deliver();
        EXPECT_EQ(riseHeld, 0);
        button(SDL_CONTROLLER_BUTTON_A, true);
        deliver();
        EXPECT_EQ(riseHeld, 1);
        window(SDL_WINDOWEVENT_FOCUS_LOST); // the fish does not rise for ever
        deliver();
        EXPECT_EQ(riseHeld, 0);
        EXPECT_EQ(appMode, MODE_GAME);

        for (int item : {1, 2}) {
            enterScreen(SCREEN_TITLE, 0);
            menuCursor = item; // Settings, then About
            key(SDLK_SPACE, true);
            key(SDLK_SPACE, false);
            deliver();
            tick(); // the front end finds no item under the tap
            EXPECT_EQ(synthSelect, 0);
            EXPECT_EQ(menuCursor, item);
            WndProc(nullptr, WM_TIMER, TICK_TIMER_ID, 0); // becomes the select
            EXPECT_EQ(menuScreen, item == 1 ? SCREEN_SETTINGS : SCREEN_ABOUT);
        }
    }
}

} // namespace
