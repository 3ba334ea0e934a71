// The keyboard as the device's buttons: which SDL key gives which virtual-key
// code.
#include "platform/desktop_keys.h"

#include "platform/winapi.h"

int virtualKeyFor(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        switch (key) {
        case SDLK_z:
            return 0xC1; // device button A
        case SDLK_x:
            return 0xC2; // device button B
        case SDLK_c:
            return 0xC3; // device button C
        default:
            return 'A' + static_cast<int>(key - SDLK_a);
        }
    }
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<int>(key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + static_cast<int>(key - SDLK_F1);
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
    case SDLK_SPACE:
        return VK_SPACE;
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

const char* desktopKeyMap() {
    return "  Arrow keys     the device's direction pad (Up, Down, Left, Right)\n"
           "  Enter          the device's Start button\n"
           "  Z, X, C        the device's A, B and C buttons\n"
           "  other keys     themselves (letters, digits, Space, F1..F12, ...),\n"
           "                 so they can be chosen under Settings > Controls\n"
           "  Ctrl+A         the About box; Ctrl+Q does nothing\n"
           "  left mouse     the stylus: hold it in a game to rise, click menu items\n"
           "  closing the window saves the settings and ends the game\n";
}
