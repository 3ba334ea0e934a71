// The message system behind the window calls, as the hosts and the dialog
// manager see it. Only platform/ and tests include this.
#pragma once

#include "platform/wince/winapi.h"

#include <string>

struct WindowRecord {
    WNDPROC proc = nullptr;
    std::wstring className;
    std::wstring title;
    bool visible = false;
    bool needsPaint = false;
    bool destroyed = false;
    bool erasesWhite = true;
    RECT rect = {0, 0, 0, 0};
    // Dialog boxes only.
    DLGPROC dialogProc = nullptr;
    const struct DialogTemplate* dialog = nullptr;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    DWORD dialogFlags = 0;
};

// Calls the window's procedure at once (a sent message).
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a key or stylus message from the host. Keys update the key state
// when the message is taken from the queue, as on the handheld.
void queueInput(UINT message, WPARAM wParam, LPARAM lParam);
// The host's window lost (or regained) activation: delivered as a sent
// WM_ACTIVATE at the next GetMessageW.
void queueActivation(bool active);
bool keyIsDown(int vk);
// How many WM_TIMER messages GetMessageW has handed out.
unsigned long timerMessageCount();
// True while input or an activation change waits to be taken.
bool inputQueued();
// Called with every input message as GetMessageW takes it from the queue and
// with every activation change as it is delivered, at the tick count the
// program sees it; null for none.
void setInputObserver(void (*observer)(const MSG& message));
// The main window (the first one created), null before it exists.
HWND mainWindow();
// The window that takes input: a modal dialog when one runs, else the main one.
HWND focusWindow();
// A window that another running copy of the program owns.
HWND remoteWindow();
// True once the main window has been destroyed or the quit message taken.
bool programFinished();
// Forgets every window, message and timer (tests start from a clean system).
void resetMessageSystem();
