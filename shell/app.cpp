// Entry, the one window, its message loop and the About box.
#include "shell/app.h"

#include "persist/settings.h"
#include "platform/gapi/gapi.h"
#include "platform/wince/resources.h"
#include "shell/autopilot.h"
#include "shell/input.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "shell/watch.h"

HINSTANCE appInstance = nullptr;
HWND appWindow = nullptr;

namespace {

constexpr int STRING_CAPACITY = 100;
SHACTIVATEINFO shellActivation = {};

void paintLoading(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    WCHAR text[STRING_CAPACITY];
    int length = LoadStringW(appInstance, IDS_LOADING, text, STRING_CAPACITY);
    DrawTextW(dc, text, length, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &paint);
}

void openAboutBox(HWND window) {
    const DialogTemplate* dialog = FindDialogTemplate(appInstance, ABOUT_DIALOG_ID);
    DialogBoxIndirectParamW(appInstance, dialog, window, AboutDlgProc, 0);
}

void onActivate(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE) return;
    // Every road out of the program keeps what the player changed: closing the
    // window (or switching away) saves all the files, not only the career.
    // Mended: fidelity M12.
    endWatch();
    saveSettings();
    PostMessageW(window, WM_CLOSE, 0, 0);
    GXSuspend();
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, const WCHAR*, int showCommand) {
    if (!InitInstance(instance, showCommand)) return 0;
    HACCEL accelerators = LoadAcceleratorsW(instance, ACCEL_TABLE_ID);
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    displayShutdown();
    return static_cast<int>(msg.wParam);
}

BOOL InitInstance(HINSTANCE instance, int showCommand) {
    appInstance = instance;
    WCHAR className[STRING_CAPACITY], title[STRING_CAPACITY];
    LoadStringW(instance, IDS_CLASS, className, STRING_CAPACITY);
    LoadStringW(instance, IDS_TITLE, title, STRING_CAPACITY);
    HWND running = FindWindowW(className, title);
    if (running) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1));
        return 0;
    }
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, APP_ICON_ID);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window) return 0;
    appWindow = window;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    startUp(window);
    return 1;
}

LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (watchInput(window, message, wParam)) return 0;
    inputPreStep(&message, &wParam, &lParam);
    switch (message) {
    case WM_CREATE:
        SetTimer(window, TICK_TIMER_ID, TICK_PERIOD_MS, nullptr);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        onActivate(window, wParam);
        return 0;
    case WM_PAINT:
        paintLoading(window);
        return 0;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(window, wParam, lParam, &shellActivation);
        return 0;
    case WM_KEYDOWN:
        onKeyDown(wParam);
        return 0;
    case WM_KEYUP:
        onKeyUp(wParam);
        return 0;
    case WM_COMMAND:
        // Kept on purpose: fidelity K12.
        if (LOWORD(wParam) == CMD_QUIT_ACCEL) return 0;
        if (LOWORD(wParam) == CMD_ABOUT) {
            openAboutBox(window);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_TIMER:
        autopilotTick(window);
        tick();
        return 0;
    case WM_MOUSEMOVE:
        onStylusMove();
        return 0;
    case WM_LBUTTONDOWN:
        onStylusDown();
        return 0;
    case WM_LBUTTONUP:
        onStylusUp(lParam);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog,
                              SHIDIF_DONEBUTTON | SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_SIPDOWN};
        SHInitDialog(&info);
        return 1;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 1);
        return 1;
    }
    return 0;
}
