#include "support/desktop_window.h"

#include "platform/desktop/host.h"
#include "platform/desktop/input.h"
#include "platform/gapi/device.h"
#include "platform/wince/messages.h"
#include "support/test_host.h"

#include <cstdlib>

bool openTestDesktop(const char* device, int scale, const std::string& folder, std::string* error) {
    // Software rendering: no GL driver loaded behind the leak checker's back.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    resetMessageSystem();
    selectDevice(findDeviceProfile(device));
    setTestDataFolder(folder);
    if (!startDesktopHost(scale, error)) return false;
    WNDCLASSW c = {};
    c.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
    c.lpszClassName = L"test";
    RegisterClassW(&c);
    if (!CreateWindowExW(0, L"test", L"", 0, 0, 0, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                         nullptr, nullptr)) {
        *error = "no window";
        return false;
    }
    return true;
}

SDL_Event sdlEvent(Uint32 type) {
    SDL_Event e = {};
    e.type = type;
    return e;
}

void sendKey(SDL_Keycode sym, bool down, bool repeat, Uint16 mod) {
    SDL_Event e = sdlEvent(down ? SDL_KEYDOWN : SDL_KEYUP);
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    translateDesktopEvent(e);
}

void sendMouse(bool down, int x, int y) {
    SDL_Event e = sdlEvent(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x, e.button.y = y;
    translateDesktopEvent(e);
}

void sendWindowEvent(Uint8 what) {
    SDL_Event e = sdlEvent(SDL_WINDOWEVENT);
    e.window.event = what;
    translateDesktopEvent(e);
}
