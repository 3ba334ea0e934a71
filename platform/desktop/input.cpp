#include "platform/desktop/input.h"

#include "platform/wince/messages.h"

#include <algorithm>
#include <vector>

namespace {

int keyHolds[256];
std::vector<int> stylusHolders; // the first one put the stylus down

bool validKey(int vk) {
    return vk > 0 && vk < 256;
}

} // namespace

void pressDeviceKey(int vk) {
    if (!validKey(vk)) return;
    if (keyHolds[vk]++ == 0) queueInput(WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
}

void repeatDeviceKey(int vk) {
    if (validKey(vk) && keyHolds[vk] > 0) queueInput(WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
}

void releaseDeviceKey(int vk) {
    if (!validKey(vk) || keyHolds[vk] == 0) return;
    if (--keyHolds[vk] == 0) queueInput(WM_KEYUP, static_cast<WPARAM>(vk), 0);
}

int deviceKeyHolds(int vk) {
    return validKey(vk) ? keyHolds[vk] : 0;
}

void pressStylus(int source, LPARAM point) {
    if (stylusHeldBy(source)) return;
    stylusHolders.push_back(source);
    if (stylusHolders.size() == 1) queueInput(WM_LBUTTONDOWN, 1, point);
}

void moveStylus(int source, LPARAM point) {
    if (!stylusHolders.empty() && stylusHolders.front() == source)
        queueInput(WM_MOUSEMOVE, 1, point);
}

void releaseStylus(int source, LPARAM point) {
    auto it = std::find(stylusHolders.begin(), stylusHolders.end(), source);
    if (it == stylusHolders.end()) return;
    stylusHolders.erase(it);
    if (stylusHolders.empty()) queueInput(WM_LBUTTONUP, 0, point);
}

bool stylusHeldBy(int source) {
    return std::find(stylusHolders.begin(), stylusHolders.end(), source) != stylusHolders.end();
}

bool stylusHeld() {
    return !stylusHolders.empty();
}

void releaseAllControls() {
    for (int vk = 1; vk < 256; ++vk) {
        if (keyHolds[vk] == 0) continue;
        keyHolds[vk] = 0;
        queueInput(WM_KEYUP, static_cast<WPARAM>(vk), 0);
    }
    if (stylusHolders.empty()) return;
    stylusHolders.clear();
    queueInput(WM_LBUTTONUP, 0, MAKELPARAM(LETGO_X, LETGO_Y));
}

void resetDesktopInput() {
    std::fill(std::begin(keyHolds), std::end(keyHolds), 0);
    stylusHolders.clear();
}
