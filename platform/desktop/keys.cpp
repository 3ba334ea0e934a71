// The keyboard as the device's buttons: which SDL key gives which virtual-key
// code.
#include "platform/desktop/keys.h"

#include "platform/desktop/input.h"
#include "platform/desktop/window.h"
#include "platform/gapi/device.h"
#include "platform/wince/screen.h"
#include "platform/wince/winapi.h"

#include <algorithm>
#include <vector>

namespace {

// The keys the keyboard holds, each once however many times it repeats.
std::vector<SDL_Keycode> heldKeys;

bool holds(SDL_Keycode key) {
    return std::find(heldKeys.begin(), heldKeys.end(), key) != heldKeys.end();
}

void takeScreenshots() {
    std::vector<uint16_t> pixels;
    composeScreen(&pixels);
    saveScreenshots(pixels, deviceScreenWidth(), deviceScreenHeight());
}

// True for a key the window handles itself.
bool windowKey(const SDL_KeyboardEvent& e) {
    SDL_Keycode key = e.keysym.sym;
    bool down = e.type == SDL_KEYDOWN;
    bool fresh = down && !e.repeat;
    bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
    if (key == SDLK_F11 || (enter && (e.keysym.mod & KMOD_ALT) && !holds(key))) {
        if (fresh) toggleFullscreen();
        return true;
    }
    if (key == SDLK_F12) {
        if (fresh) takeScreenshots();
        return true;
    }
    if (key == SDLK_SPACE) {
        LPARAM point = MAKELPARAM(ONE_BUTTON_X, ONE_BUTTON_Y);
        if (fresh)
            pressStylus(SPACE_SOURCE, point);
        else if (!down)
            releaseStylus(SPACE_SOURCE, point);
        return true;
    }
    return false;
}

} // namespace

int virtualKeyFor(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        switch (key) {
        case SDLK_z:
            return DEVICE_BUTTON_A;
        case SDLK_x:
            return DEVICE_BUTTON_B;
        case SDLK_c:
            return DEVICE_BUTTON_C;
        default:
            return 'A' + static_cast<int>(key - SDLK_a);
        }
    }
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<int>(key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F10) return 0x70 + static_cast<int>(key - SDLK_F1);
    switch (key) {
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return 0x12;
    case SDLK_LGUI:
    case SDLK_RGUI:
        return VK_LWIN;
    case SDLK_HOME:
        return 0x24;
    case SDLK_END:
        return 0x23;
    case SDLK_PAGEUP:
        return 0x21;
    case SDLK_PAGEDOWN:
        return 0x22;
    case SDLK_INSERT:
        return 0x2D;
    case SDLK_DELETE:
        return 0x2E;
    default:
        return 0;
    }
}

void translateKeyEvent(const SDL_KeyboardEvent& e) {
    if (windowKey(e)) return;
    SDL_Keycode key = e.keysym.sym;
    int vk = virtualKeyFor(key);
    if (!vk) return;
    if (e.type == SDL_KEYUP) {
        auto it = std::find(heldKeys.begin(), heldKeys.end(), key);
        if (it == heldKeys.end()) return;
        heldKeys.erase(it);
        releaseDeviceKey(vk);
    } else if (holds(key)) {
        if (e.repeat) repeatDeviceKey(vk);
    } else {
        heldKeys.push_back(key);
        pressDeviceKey(vk);
    }
}

void forgetKeyboardHolds() {
    heldKeys.clear();
}

const char* desktopKeyMap() {
    return "  Space          the one button: hold it in a game to rise; in the menus it\n"
           "                 selects the highlighted item\n"
           "  Arrow keys     the device's direction pad (Up, Down, Left, Right)\n"
           "  Enter          the device's Start button\n"
           "  Z, X, C        the device's A, B and C buttons\n"
           "  other keys     themselves (letters, digits, F1..F10, Escape, ...),\n"
           "                 so they can be chosen under Settings > Controls\n"
           "  Ctrl+A         the About box; Ctrl+Q does nothing\n"
           "  left mouse     the stylus: hold it in a game to rise, click menu items\n"
           "  F11, Alt+Enter fullscreen and back\n"
           "  F12            two screenshots (as is and as shown) into the data folder\n"
           "  controller     south button as Space, D-pad or left stick as the direction\n"
           "                 pad, east as B, west as A, north as C, Start as Start\n"
           "                 (more mappings: the file SDL_GAMECONTROLLERCONFIG_FILE names)\n"
           "  closing the window saves the settings and ends the game\n";
}
