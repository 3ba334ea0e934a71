// Windows, the message queue and the window timer.
//
// GetMessageW hands out messages in the handheld's order: sent messages are
// dispatched first, then posted messages, then input, then the quit message,
// then WM_PAINT, and last WM_TIMER, which is made only when a timer is due
// and never more than once per timer however late it is.
#include "platform/wince/messages.h"

#include "platform/host/host.h"
#include "platform/host/instance.h"

#include "platform/gapi/device.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

namespace {

struct Timer {
    HWND window;
    UINT id;
    UINT period;
    DWORD nextDue;
};

struct State {
    std::vector<std::unique_ptr<WindowRecord>> windows;
    std::deque<MSG> sent;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::vector<Timer> timers;
    std::vector<std::pair<std::wstring, WNDPROC>> classes;
    bool quitPosted = false;
    int quitCode = 0;
    bool finished = false;
    bool keys[256] = {};
};

State state;
WindowRecord remoteRecord;
void (*inputObserver)(const MSG&) = nullptr;
unsigned long timersTaken = 0;

bool isLive(HWND window) {
    if (!window || window == remoteWindow()) return false;
    for (auto& w : state.windows)
        if (w.get() == window) return !w->destroyed;
    return false;
}

bool due(DWORD now, DWORD at) {
    return static_cast<int32_t>(now - at) >= 0;
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m = {};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = host ? host->tickCount() : 0;
    return m;
}

bool takePaint(MSG* msg) {
    for (auto& w : state.windows) {
        if (w->destroyed || !w->visible || !w->needsPaint) continue;
        *msg = makeMessage(w.get(), WM_PAINT, 0, 0);
        return true;
    }
    return false;
}

bool takeTimer(MSG* msg, bool* hasDeadline, DWORD* deadline) {
    DWORD now = host->tickCount();
    *hasDeadline = false;
    for (Timer& t : state.timers) {
        if (due(now, t.nextDue)) {
            // Kept on purpose: fidelity K30.
            t.nextDue = now + t.period;
            *msg = makeMessage(t.window, WM_TIMER, t.id, 0);
            ++timersTaken;
            return true;
        }
        if (!*hasDeadline || static_cast<int32_t>(t.nextDue - *deadline) < 0) *deadline = t.nextDue;
        *hasDeadline = true;
    }
    return false;
}

void trackKey(const MSG& m) {
    if (m.message != WM_KEYDOWN && m.message != WM_KEYUP) return;
    if (m.wParam < 256) state.keys[m.wParam] = m.message == WM_KEYDOWN;
}

} // namespace

HWND mainWindow() {
    return state.windows.empty() ? nullptr : state.windows.front().get();
}

HWND focusWindow() {
    for (auto it = state.windows.rbegin(); it != state.windows.rend(); ++it)
        if (!(*it)->destroyed && (*it)->dialogProc && !(*it)->dialogEnded) return it->get();
    HWND main = mainWindow();
    return isLive(main) ? main : nullptr;
}

HWND remoteWindow() {
    return &remoteRecord;
}
bool programFinished() {
    return state.finished;
}
unsigned long timerMessageCount() {
    return timersTaken;
}

bool inputQueued() {
    return !state.input.empty() || !state.sent.empty();
}

void setInputObserver(void (*observer)(const MSG&)) {
    inputObserver = observer;
}

bool keyIsDown(int vk) {
    return vk >= 0 && vk < 256 && state.keys[vk];
}

void resetMessageSystem() {
    state = State();
}

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isLive(window) || !window->proc) return 0;
    return window->proc(window, message, wParam, lParam);
}

void queueInput(UINT message, WPARAM wParam, LPARAM lParam) {
    state.input.push_back(makeMessage(nullptr, message, wParam, lParam));
}

void queueActivation(bool active) {
    state.sent.push_back(makeMessage(nullptr, WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0));
}

BOOL RegisterClassW(const WNDCLASSW* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
    state.classes.emplace_back(windowClass->lpszClassName, windowClass->lpfnWndProc);
    return 1;
}

HWND CreateWindowExW(DWORD, const WCHAR* className, const WCHAR* title, DWORD style, int x, int y,
                     int width, int height, HWND, void*, HINSTANCE, void*) {
    if (state.windows.empty() && host->openWindow && !host->openWindow()) return nullptr;
    auto w = std::make_unique<WindowRecord>();
    w->className = className ? className : L"";
    w->title = title ? title : L"";
    w->visible = (style & WS_VISIBLE) != 0;
    w->needsPaint = w->visible;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = deviceScreenWidth();
        height = deviceScreenHeight();
    }
    w->rect = {x, y, x + width, y + height};
    for (auto& c : state.classes)
        if (c.first == w->className) w->proc = c.second;
    HWND handle = w.get();
    state.windows.push_back(std::move(w));
    if (handle->proc && handle->proc(handle, WM_CREATE, 0, 0) == -1) {
        handle->destroyed = true;
        return nullptr;
    }
    return handle;
}

BOOL DestroyWindow(HWND window) {
    if (!isLive(window)) return 0;
    sendMessage(window, WM_DESTROY, 0, 0);
    window->destroyed = true;
    state.timers.erase(std::remove_if(state.timers.begin(), state.timers.end(),
                                      [&](const Timer& t) { return t.window == window; }),
                       state.timers.end());
    if (window == mainWindow()) {
        state.finished = true;
        if (host->screenChanged) host->screenChanged();
    }
    return 1;
}

HWND FindWindowW(const WCHAR* className, const WCHAR* title) {
    for (auto& w : state.windows)
        if (!w->destroyed && w->className == className && w->title == title) return w.get();
    return otherCopyRunning() ? remoteWindow() : nullptr;
}

BOOL SetForegroundWindow(HWND window) {
    HWND plain = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window) & ~uintptr_t{1});
    if (plain == remoteWindow()) return askOtherCopyToComeForward() ? 1 : 0;
    if (isLive(plain) && host->raiseWindow) host->raiseWindow();
    return isLive(plain);
}

BOOL ShowWindow(HWND window, int showCommand) {
    if (!isLive(window)) return 0;
    bool was = window->visible;
    window->visible = showCommand != SW_HIDE;
    if (window->visible && !was) window->needsPaint = true;
    return was;
}

BOOL UpdateWindow(HWND window) {
    if (!isLive(window)) return 0;
    if (window->visible && window->needsPaint) sendMessage(window, WM_PAINT, 0, 0);
    return 1;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    if (!isLive(window)) return 0;
    window->rect = {x, y, x + width, y + height};
    if (repaint) window->needsPaint = true;
    return 1;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (!isLive(window) || !rect) return 0;
    *rect = {0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    return 1;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isLive(window)) return 0;
    state.posted.push_back(makeMessage(window, message, wParam, lParam));
    return 1;
}

void PostQuitMessage(int exitCode) {
    state.quitPosted = true;
    state.quitCode = exitCode;
}

UINT SetTimer(HWND window, UINT id, UINT periodMs, void*) {
    if (!isLive(window)) return 0;
    if (periodMs < 1) periodMs = 1;
    DWORD next = host->tickCount() + periodMs;
    for (Timer& t : state.timers)
        if (t.window == window && t.id == id) {
            t.period = periodMs;
            t.nextDue = next;
            return id;
        }
    state.timers.push_back({window, id, periodMs, next});
    return id;
}

BOOL KillTimer(HWND window, UINT id) {
    for (size_t i = 0; i < state.timers.size(); ++i)
        if (state.timers[i].window == window && state.timers[i].id == id) {
            state.timers.erase(state.timers.begin() + static_cast<long>(i));
            return 1;
        }
    return 0;
}

BOOL GetMessageW(MSG* msg, HWND, UINT, UINT) {
    for (;;) {
        pollInstanceRequests();
        if (!state.sent.empty()) {
            MSG m = state.sent.front();
            state.sent.pop_front();
            HWND target = m.hwnd ? m.hwnd : mainWindow();
            if (inputObserver && m.message == WM_ACTIVATE) {
                m.time = host->tickCount();
                inputObserver(m);
            }
            sendMessage(target, m.message, m.wParam, m.lParam);
            continue;
        }
        if (!state.posted.empty()) {
            *msg = state.posted.front();
            state.posted.pop_front();
            return 1;
        }
        if (!state.input.empty()) {
            *msg = state.input.front();
            state.input.pop_front();
            if (inputObserver) {
                MSG seen = *msg;
                seen.time = host->tickCount();
                inputObserver(seen);
            }
            trackKey(*msg);
            msg->hwnd = focusWindow();
            if (!msg->hwnd) continue;
            return 1;
        }
        if (state.quitPosted) {
            state.quitPosted = false;
            state.finished = true;
            *msg = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(state.quitCode), 0);
            return 0;
        }
        if (takePaint(msg)) return 1;
        bool hasDeadline = false;
        DWORD deadline = 0;
        if (takeTimer(msg, &hasDeadline, &deadline)) return 1;
        if (!host->waitForInput(hasDeadline, deadline)) {
            // Nothing can ever arrive again: end the program as if it had quit.
            state.finished = true;
            *msg = makeMessage(nullptr, WM_QUIT, 0, 0);
            return 0;
        }
    }
}

BOOL TranslateMessage(const MSG*) {
    return 0;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    return sendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    if (message == WM_PAINT && isLive(window)) window->needsPaint = false;
    return 0;
}
