// The window, message, resource and time calls the shell is written against.
//
// These are stand-ins for the handheld's core library: the same names and the
// same contracts, implemented over whichever host runs the program (a desktop
// window, the headless scripted host or a web page). Nothing in here exposes
// the host.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t UINT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int32_t BOOL;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef wchar_t WCHAR;

typedef struct WindowRecord* HWND;
typedef struct InstanceRecord* HINSTANCE;
typedef struct AccelRecord* HACCEL;
typedef struct IconRecord* HICON;
typedef struct BrushRecord* HBRUSH;
typedef struct DeviceContextRecord* HDC;
typedef struct BitmapRecord* HBITMAP;
typedef void* HGDIOBJ;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define LOWORD(v) ((WORD)((uintptr_t)(v)&0xFFFF))
#define HIWORD(v) ((WORD)(((uintptr_t)(v) >> 16) & 0xFFFF))
#define MAKELPARAM(lo, hi)                                                                         \
    ((LPARAM)(((uint32_t)(uint16_t)(lo)) | (((uint32_t)(uint16_t)(hi)) << 16)))

// Messages, with the numbers the handheld uses.
enum : UINT {
    WM_CREATE = 1,
    WM_DESTROY = 2,
    WM_ACTIVATE = 6,
    WM_PAINT = 15,
    WM_CLOSE = 16,
    WM_QUIT = 18,
    WM_SETTINGCHANGE = 26,
    WM_KEYDOWN = 256,
    WM_KEYUP = 257,
    WM_CHAR = 258,
    WM_INITDIALOG = 272,
    WM_COMMAND = 273,
    WM_TIMER = 275,
    WM_MOUSEMOVE = 512,
    WM_LBUTTONDOWN = 513,
    WM_LBUTTONUP = 514,
};

enum : WPARAM { WA_INACTIVE = 0, WA_ACTIVE = 1 };
enum : int { IDOK = 1, IDCANCEL = 2 };
enum : int { SW_HIDE = 0, SW_SHOW = 5 };
enum : int { CW_USEDEFAULT = (int)0x80000000 };
enum : UINT { CS_VREDRAW = 0x1, CS_HREDRAW = 0x2 };
enum : DWORD { WS_VISIBLE = 0x10000000 };
enum : UINT { DT_CENTER = 0x1, DT_VCENTER = 0x4, DT_SINGLELINE = 0x20 };
enum : int { WHITE_BRUSH = 0, BLACK_BRUSH = 4 };

// Virtual-key codes the program and the hosts use by name.
enum : int {
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_LWIN = 0x5B,
    VK_F21 = 0x84,
};

struct POINT {
    int32_t x, y;
};

struct RECT {
    int32_t left, top, right, bottom;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    void* hCursor;
    HBRUSH hbrBackground;
    const WCHAR* lpszMenuName;
    const WCHAR* lpszClassName;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

// Windows and messages.
BOOL RegisterClassW(const WNDCLASSW* windowClass);
HWND CreateWindowExW(DWORD exStyle, const WCHAR* className, const WCHAR* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* menu, HINSTANCE instance,
                     void* param);
// Finds a window of this class and title. Besides this process's own windows it
// finds the window of another running copy that uses the same data folder.
HWND FindWindowW(const WCHAR* className, const WCHAR* title);
BOOL SetForegroundWindow(HWND window);
BOOL ShowWindow(HWND window, int showCommand);
BOOL UpdateWindow(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL DestroyWindow(HWND window);
BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
UINT SetTimer(HWND window, UINT id, UINT periodMs, void* timerProc);
BOOL KillTimer(HWND window, UINT id);

// Painting (the window's own surface, which is the screen).
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
int DrawTextW(HDC dc, const WCHAR* text, int length, RECT* rect, UINT format);
HGDIOBJ GetStockObject(int object);

// Screen device context and the display driver's escape.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int ExtEscape(HDC dc, int escape, int inputSize, const char* input, int outputSize, char* output);
enum : int { GETRAWFRAMEBUFFER = 0x00020001 };

// Resources of the executable.
int LoadStringW(HINSTANCE instance, UINT id, WCHAR* buffer, int capacity);
HACCEL LoadAcceleratorsW(HINSTANCE instance, int id);
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg);
HICON LoadIconW(HINSTANCE instance, int id);
HBITMAP LoadBitmapW(HINSTANCE instance, int id);
BOOL DeleteObject(HGDIOBJ object);

// Dialog boxes: a template describes the box; the box runs modally.
struct DialogTemplate;
const DialogTemplate* FindDialogTemplate(HINSTANCE instance, int id);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DialogTemplate* dialog, HWND owner,
                                DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);

// Time.
DWORD GetTickCount();
void Sleep(DWORD ms);

// Debug output.
void NKDbgPrintfW(const char* format, ...);

// The folder that holds the settings files (the executable's folder unless the
// command line chose another), as a UTF-8 path without a trailing separator.
const char* dataFolder();
