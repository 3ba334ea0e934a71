// Bitmaps, device-independent bitmaps and memory device contexts.
//
// Every bitmap is held as 24-bit rows (blue, green, red): a bitmap loaded from
// the resources top row first, a device-independent bitmap in the layout its
// header asked for. Handles are checked against the live ones before use, so
// DeleteObject and the rest can be handed any handle at all.
#include "platform/wince/bitmap.h"

#include "platform/host/host.h"
#include "platform/wince/resources.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

struct BitmapRecord {
    int32_t width = 0, height = 0;
    int32_t rowBytes = 0;
    bool bottomUp = false;
    uint8_t* pixels = nullptr; // owned
    int selections = 0;        // memory device contexts holding it
};

struct DeviceContextRecord {
    HGDIOBJ selected = nullptr;
};

namespace {

constexpr int32_t MAX_SIDE = 16384;
constexpr int BYTES_PER_PIXEL = 3;

// The one-pixel bitmap every new memory device context starts with.
BitmapRecord defaultBitmap;

std::vector<BitmapRecord*>& liveBitmaps() {
    static std::vector<BitmapRecord*> list;
    return list;
}

std::vector<DeviceContextRecord*>& liveContexts() {
    static std::vector<DeviceContextRecord*> list;
    return list;
}

template <typename T> bool contains(const std::vector<T*>& list, const void* p) {
    return p && std::find(list.begin(), list.end(), p) != list.end();
}

BitmapRecord* asBitmap(HGDIOBJ object) {
    if (object == &defaultBitmap) return &defaultBitmap;
    return contains(liveBitmaps(), object) ? static_cast<BitmapRecord*>(object) : nullptr;
}

DeviceContextRecord* asContext(HDC dc) {
    return contains(liveContexts(), dc) ? dc : nullptr;
}

// A new bitmap of w x h pixels with rows of rowBytes, zero-filled; null when
// the size is unreasonable or the memory cannot be had.
BitmapRecord* newBitmap(int32_t w, int32_t h, int32_t rowBytes, bool bottomUp) {
    if (w < 1 || h < 1 || w > MAX_SIDE || h > MAX_SIDE) return nullptr;
    BitmapRecord* b = new (std::nothrow) BitmapRecord;
    if (!b) return nullptr;
    size_t bytes = static_cast<size_t>(rowBytes) * static_cast<size_t>(h);
    b->pixels = new (std::nothrow) uint8_t[bytes]();
    if (!b->pixels) {
        delete b;
        return nullptr;
    }
    b->width = w;
    b->height = h;
    b->rowBytes = rowBytes;
    b->bottomUp = bottomUp;
    liveBitmaps().push_back(b);
    return b;
}

uint8_t* pixelAt(BitmapRecord* b, int x, int y) {
    int row = b->bottomUp ? b->height - 1 - y : y;
    return b->pixels + static_cast<size_t>(row) * b->rowBytes + static_cast<size_t>(x) * 3;
}

uint32_t le16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}

// Whether the picture a BMP header declares is one a bitmap may have: each
// side 1..MAX_SIDE, and for pictures stored a row after another, no more
// pixel bytes than the file holds (run-length coded pictures may grow to 128
// pixels for every byte). The decoder allocates the whole picture from the
// header before it reads a row, so a damaged size must be refused here.
bool bmpSizeAllowed(const unsigned char* data, size_t size) {
    if (size < 26) return false;
    int64_t w, h, bits, compression = 0;
    if (le32(data + 14) == 12) { // the old core header: 16-bit sizes
        w = le16(data + 18);
        h = le16(data + 20);
        bits = le16(data + 24);
    } else {
        if (size < 34) return false;
        w = static_cast<int32_t>(le32(data + 18));
        h = static_cast<int32_t>(le32(data + 22));
        bits = le16(data + 28);
        compression = le32(data + 30);
    }
    if (h < 0) h = -h; // top row first
    if (w < 1 || h < 1 || w > MAX_SIDE || h > MAX_SIDE) return false;
    const int64_t bytes = static_cast<int64_t>(size);
    if (compression == 1 || compression == 2) return w * h <= bytes * 128;
    if (bits < 1) bits = 1;
    return (w * bits + 7) / 8 * h <= bytes;
}

// Decodes a BMP file held in memory into a new top-down 24-bit bitmap.
BitmapRecord* decodeBmp(const unsigned char* data, size_t size) {
    if (!bmpSizeAllowed(data, size)) return nullptr;
    int w = 0, h = 0;
    std::vector<uint8_t> rows;
    if (!hostDecodeBmp(data, size, &w, &h, &rows)) return nullptr;
    BitmapRecord* decoded = newBitmap(w, h, w * BYTES_PER_PIXEL, false);
    if (decoded) std::memcpy(decoded->pixels, rows.data(), rows.size());
    return decoded;
}

} // namespace

HBITMAP LoadBitmapW(HINSTANCE, int id) {
    const EmbeddedResource* resource = findEmbeddedResource("BITMAP", id);
    if (!resource || !resource->data || resource->size == 0) return nullptr;
    if (resource->size > static_cast<size_t>(INT32_MAX)) return nullptr;
    return decodeBmp(resource->data, resource->size);
}

BOOL DeleteObject(HGDIOBJ object) {
    BitmapRecord* b = asBitmap(object);
    if (!b || b == &defaultBitmap) return 0; // not ours to delete: ignored
    if (b->selections > 0) return 0;         // still selected into a device context
    std::vector<BitmapRecord*>& list = liveBitmaps();
    list.erase(std::find(list.begin(), list.end(), b));
    delete[] b->pixels;
    delete b;
    return 1;
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
    BitmapRecord* b = asBitmap(object);
    if (!b || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP description = {};
    description.bmType = 0;
    description.bmWidth = b == &defaultBitmap ? 1 : b->width;
    description.bmHeight = b == &defaultBitmap ? 1 : b->height;
    description.bmWidthBytes = b->rowBytes;
    description.bmPlanes = 1;
    description.bmBitsPixel = 24;
    std::memcpy(out, &description, sizeof description);
    return static_cast<int>(sizeof description);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits) *bits = nullptr;
    if (!info || !bits || usage != DIB_RGB_COLORS || section) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biBitCount != 24 ||
        h.biCompression != BI_RGB || h.biHeight == INT32_MIN)
        return nullptr;
    int32_t height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (h.biWidth < 1 || h.biWidth > MAX_SIDE) return nullptr;
    int32_t rowBytes = (h.biWidth * BYTES_PER_PIXEL + 3) / 4 * 4;
    BitmapRecord* b = newBitmap(h.biWidth, height, rowBytes, h.biHeight > 0);
    if (b) *bits = b->pixels;
    return b;
}

HDC CreateCompatibleDC(HDC) {
    DeviceContextRecord* dc = new (std::nothrow) DeviceContextRecord;
    if (!dc) return nullptr;
    dc->selected = &defaultBitmap;
    liveContexts().push_back(dc);
    return dc;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContextRecord* context = asContext(dc);
    BitmapRecord* b = asBitmap(object);
    if (!context || !b) return nullptr;
    HGDIOBJ previous = context->selected;
    if (BitmapRecord* old = asBitmap(previous)) --old->selections;
    ++b->selections;
    context->selected = b;
    return previous;
}

BOOL BitBlt(HDC destination, int x, int y, int w, int h, HDC source, int srcX, int srcY,
            DWORD rop) {
    DeviceContextRecord* to = asContext(destination);
    DeviceContextRecord* from = asContext(source);
    if (!to || !from || rop != SRCCOPY) return 0;
    BitmapRecord* d = asBitmap(to->selected);
    BitmapRecord* s = asBitmap(from->selected);
    if (!d || !s || d == &defaultBitmap || s == &defaultBitmap) return 0;
    // Clip to both bitmaps, in 64 bits so no sum can overflow.
    int64_t left = std::max<int64_t>({0, -int64_t{x}, -int64_t{srcX}});
    int64_t top = std::max<int64_t>({0, -int64_t{y}, -int64_t{srcY}});
    int64_t right = std::min<int64_t>({w, int64_t{d->width} - x, int64_t{s->width} - srcX});
    int64_t bottom = std::min<int64_t>({h, int64_t{d->height} - y, int64_t{s->height} - srcY});
    for (int64_t j = top; j < bottom; ++j) {
        if (right <= left) break;
        uint8_t* out = pixelAt(d, static_cast<int>(x + left), static_cast<int>(y + j));
        const uint8_t* in = pixelAt(s, static_cast<int>(srcX + left), static_cast<int>(srcY + j));
        std::memmove(out, in, static_cast<size_t>(right - left) * BYTES_PER_PIXEL);
    }
    return 1;
}

BOOL DeleteDC(HDC dc) {
    DeviceContextRecord* context = asContext(dc);
    if (!context) return 0;
    if (BitmapRecord* b = asBitmap(context->selected)) --b->selections;
    std::vector<DeviceContextRecord*>& list = liveContexts();
    list.erase(std::find(list.begin(), list.end(), context));
    delete context;
    return 1;
}

int liveGdiObjectCount() {
    return static_cast<int>(liveBitmaps().size() + liveContexts().size());
}
