// Entry, window and message loop.
#pragma once

#include "platform/wince/winapi.h"

constexpr UINT TICK_TIMER_ID = 10;
constexpr UINT TICK_PERIOD_MS = 5;
constexpr int CMD_QUIT_ACCEL = 1;
constexpr int CMD_ABOUT = 40003;
constexpr int ACCEL_TABLE_ID = 3;
constexpr int ABOUT_DIALOG_ID = 103;
constexpr int APP_ICON_ID = 101;
enum : UINT { IDS_TITLE = 1, IDS_LOADING = 2, IDS_CLASS = 3 };

int WinMain(HINSTANCE instance, HINSTANCE previous, const WCHAR* commandLine, int showCommand);
BOOL InitInstance(HINSTANCE instance, int showCommand);
LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
extern HINSTANCE appInstance;
extern HWND appWindow;
