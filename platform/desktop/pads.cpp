#include "platform/desktop/pads.h"

#include "platform/desktop/input.h"
#include "platform/gapi/gapi.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

namespace {

// What a controller can hold: a key each.
enum Slot {
    DPAD_UP,
    DPAD_DOWN,
    DPAD_LEFT,
    DPAD_RIGHT,
    STICK_UP,
    STICK_DOWN,
    STICK_LEFT,
    STICK_RIGHT,
    BUTTON_A,
    BUTTON_B,
    BUTTON_C,
    BUTTON_START,
    SLOTS
};

struct Pad {
    SDL_JoystickID id = -1;
    SDL_GameController* controller = nullptr;
    int held[SLOTS] = {}; // the key each slot holds, 0 for none
    bool south = false;
};

std::vector<Pad> pads;
bool opened = false;

// The device's own keys, as the game reads them.
int slotKey(int slot) {
    GXKeyList keys = GXGetDefaultKeys(2);
    switch (slot) {
    case DPAD_UP:
    case STICK_UP:
        return keys.vkUp;
    case DPAD_DOWN:
    case STICK_DOWN:
        return keys.vkDown;
    case DPAD_LEFT:
    case STICK_LEFT:
        return keys.vkLeft;
    case DPAD_RIGHT:
    case STICK_RIGHT:
        return keys.vkRight;
    case BUTTON_A:
        return keys.vkA;
    case BUTTON_B:
        return keys.vkB;
    case BUTTON_C:
        return keys.vkC;
    default:
        return keys.vkStart;
    }
}

Pad& padFor(SDL_JoystickID id) {
    for (Pad& p : pads)
        if (p.id == id) return p;
    pads.push_back(Pad());
    pads.back().id = id;
    return pads.back();
}

LPARAM oneButtonPoint() {
    return MAKELPARAM(ONE_BUTTON_X, ONE_BUTTON_Y);
}

void hold(Pad& p, int slot, bool down) {
    if (down && !p.held[slot]) {
        p.held[slot] = slotKey(slot) & 0xFF;
        pressDeviceKey(p.held[slot]);
    } else if (!down && p.held[slot]) {
        releaseDeviceKey(p.held[slot]);
        p.held[slot] = 0;
    }
}

void holdSouth(Pad& p, bool down) {
    if (down == p.south) return;
    p.south = down;
    if (down)
        pressStylus(PAD_SOURCE + p.id, oneButtonPoint());
    else
        releaseStylus(PAD_SOURCE + p.id, oneButtonPoint());
}

void letGo(Pad& p) {
    for (int slot = 0; slot < SLOTS; ++slot) hold(p, slot, false);
    if (p.south) releaseStylus(PAD_SOURCE + p.id, MAKELPARAM(LETGO_X, LETGO_Y));
    p.south = false;
}

int buttonSlot(int button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return DPAD_UP;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return DPAD_DOWN;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return DPAD_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return DPAD_RIGHT;
    case SDL_CONTROLLER_BUTTON_X: // west
        return BUTTON_A;
    case SDL_CONTROLLER_BUTTON_B: // east
        return BUTTON_B;
    case SDL_CONTROLLER_BUTTON_Y: // north
        return BUTTON_C;
    case SDL_CONTROLLER_BUTTON_START:
        return BUTTON_START;
    default:
        return -1;
    }
}

void button(const SDL_ControllerButtonEvent& e) {
    Pad& p = padFor(e.which);
    bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
    if (e.button == SDL_CONTROLLER_BUTTON_A) { // south
        holdSouth(p, down);
        return;
    }
    int slot = buttonSlot(e.button);
    if (slot >= 0) hold(p, slot, down);
}

// One half of a stick axis: pressed beyond STICK_PRESS, let go inside
// STICK_RELEASE, left as it is between the two.
void stickHalf(Pad& p, int slot, int amount) {
    if (amount > STICK_PRESS)
        hold(p, slot, true);
    else if (amount < STICK_RELEASE)
        hold(p, slot, false);
}

// A stick thrown straight across lets go of one side before it presses the
// other.
void stickAxis(Pad& p, int negative, int positive, int value) {
    if (value > 0) {
        stickHalf(p, negative, -value);
        stickHalf(p, positive, value);
    } else {
        stickHalf(p, positive, value);
        stickHalf(p, negative, -value);
    }
}

void axis(const SDL_ControllerAxisEvent& e) {
    Pad& p = padFor(e.which);
    if (e.axis == SDL_CONTROLLER_AXIS_LEFTX)
        stickAxis(p, STICK_LEFT, STICK_RIGHT, e.value);
    else if (e.axis == SDL_CONTROLLER_AXIS_LEFTY) // down is positive
        stickAxis(p, STICK_UP, STICK_DOWN, e.value);
}

void added(int deviceIndex) {
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        std::fprintf(stderr, "reefdart: cannot use a game controller (%s)\n", SDL_GetError());
        return;
    }
    SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    Pad& p = padFor(id);
    if (p.controller) {
        SDL_GameControllerClose(controller); // the same one told twice
        return;
    }
    p.controller = controller;
}

void removed(SDL_JoystickID id) {
    for (size_t i = 0; i < pads.size(); ++i) {
        if (pads[i].id != id) continue;
        letGo(pads[i]);
        if (pads[i].controller) SDL_GameControllerClose(pads[i].controller);
        pads.erase(pads.begin() + static_cast<long>(i));
        return;
    }
}

} // namespace

bool openPads() {
    if (opened) return true;
    // SDL reads the mapping hints itself when the subsystem starts; the file
    // is added here as well so that a bad one is reported.
    const char* file = SDL_getenv("SDL_GAMECONTROLLERCONFIG_FILE");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "reefdart: no game controllers (%s)\n", SDL_GetError());
        return false;
    }
    opened = true;
    if (file && *file && SDL_GameControllerAddMappingsFromFile(file) < 0)
        std::fprintf(stderr, "reefdart: cannot read the controller mappings %s (%s)\n", file,
                     SDL_GetError());
    return true;
}

void closePads() {
    for (Pad& p : pads)
        if (p.controller) SDL_GameControllerClose(p.controller);
    pads.clear();
    if (opened) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    opened = false;
}

bool translatePadEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
        added(e.cdevice.which);
        return true;
    case SDL_CONTROLLERDEVICEREMOVED:
        removed(e.cdevice.which);
        return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        button(e.cbutton);
        return true;
    case SDL_CONTROLLERAXISMOTION:
        axis(e.caxis);
        return true;
    default:
        return false;
    }
}

int openPadCount() {
    int count = 0;
    for (const Pad& p : pads)
        if (p.controller) ++count;
    return count;
}

void forgetPadHolds() {
    for (Pad& p : pads) {
        for (int& key : p.held) key = 0;
        p.south = false;
    }
}
