// The GDI bitmap calls: bitmaps loaded from the executable's resources,
// device-independent bitmaps with their pixels in memory, memory device
// contexts and the block transfer between them. LoadBitmapW and DeleteObject
// are declared in platform/wince/winapi.h.
#pragma once

#include "platform/wince/winapi.h"

#include <cstdint>

typedef void* HANDLE;

struct BITMAP {
    int32_t bmType;
    int32_t bmWidth;
    int32_t bmHeight;
    int32_t bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    uint32_t bmBits; // 0: the pixels of a device-independent bitmap come from CreateDIBSection
};
static_assert(sizeof(BITMAP) == 24, "the 24-byte bitmap description");

struct BITMAPINFOHEADER {
    DWORD biSize;
    int32_t biWidth;
    int32_t biHeight; // positive: bottom row first
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the 40-byte information header");

struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

enum : DWORD { BI_RGB = 0 };
enum : UINT { DIB_RGB_COLORS = 0 };
enum : DWORD { SRCCOPY = 0x00CC0020 };

// Fills a BITMAP for a bitmap handle; returns the bytes written, 0 for any
// other handle or a too small record.
int GetObjectW(HGDIOBJ object, int size, void* out);
// A 24-bit device-independent bitmap whose pixels the caller reaches through
// *bits: rows of 3 bytes a pixel (blue, green, red), each row padded to a
// multiple of 4 bytes, bottom row first unless the height is negative.
// Other depths and compressions are refused (null, *bits null).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HDC CreateCompatibleDC(HDC dc);
// Selects a bitmap into a memory device context; returns the one it held.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Copies w x h pixels between the bitmaps selected into two memory device
// contexts, clipped to both. Only SRCCOPY is supported.
BOOL BitBlt(HDC destination, int x, int y, int w, int h, HDC source, int srcX, int srcY, DWORD rop);
BOOL DeleteDC(HDC dc);

// Bitmaps and memory device contexts not yet deleted, for tests.
int liveGdiObjectCount();
