// The Game API stand-in: direct access to the display memory and the buttons.
#pragma once

#include "platform/wince/winapi.h"

#include <cstdint>

enum : DWORD { kfDirect555 = 0x40, kfDirect565 = 0x80 };
enum : DWORD { GX_FULLSCREEN = 0x01 };
enum : int { GX_NORMALKEYS = 0x02 };

struct GXDisplayProperties {
    DWORD cxWidth;
    DWORD cyHeight;
    int32_t cbxPitch; // bytes from pixel (x, y) to (x + 1, y)
    int32_t cbyPitch; // bytes from pixel (x, y) to (x, y + 1)
    int32_t cBPP;
    DWORD ffFormat;
};
static_assert(sizeof(GXDisplayProperties) == 24, "six 32-bit values");

struct GXKeyList {
    short vkUp;
    POINT ptUp;
    short vkDown;
    POINT ptDown;
    short vkLeft;
    POINT ptLeft;
    short vkRight;
    POINT ptRight;
    short vkA;
    POINT ptA;
    short vkB;
    POINT ptB;
    short vkC;
    POINT ptC;
    short vkStart;
    POINT ptStart;
};

// The record the raw frame-buffer escape fills.
struct RawFrameBufferInfo {
    WORD wFormat;
    WORD wBPP;
    uint32_t pFramePointer; // low 32 bits of the address; use rawFramePointer() for the pointer
    int32_t cxStride;
    int32_t cyStride;
    int32_t cxPixels;
    int32_t cyPixels;
};

// The escape's 24-byte record holds a 32-bit frame pointer; on a 64-bit host
// the full address of the frame named by such a record is asked for here.
void* rawFramePointer(const RawFrameBufferInfo* info);

int GXOpenDisplay(HWND window, DWORD flags);
int GXCloseDisplay();
GXDisplayProperties GXGetDisplayProperties();
void* GXBeginDraw();
int GXEndDraw();
int GXOpenInput();
int GXCloseInput();
GXKeyList GXGetDefaultKeys(int options);
int GXSuspend();
int GXResume();

// The Pocket PC shell library's three calls.
enum : DWORD { SHFS_HIDETASKBAR = 0x2, SHFS_HIDESIPBUTTON = 0x8, SHFS_HIDESTARTICON = 0x20 };
enum : DWORD { SHIDIM_FLAGS = 0x1 };
enum : DWORD { SHIDIF_DONEBUTTON = 0x1, SHIDIF_FULLSCREENNOMENUBAR = 0x4, SHIDIF_SIPDOWN = 0x8 };

struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};

struct SHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp;
    UINT fSipOnDeactivation;
    UINT fActive;
    UINT fReserved;
};

BOOL SHFullScreen(HWND window, DWORD flags);
BOOL SHInitDialog(SHINITDLGINFO* info);
BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);
