// Resources embedded in the executable: pictures, music modules and sound clips
// as raw file bytes, plus the string table, accelerator table and dialog
// templates as data.
#pragma once

#include "platform/wince/winapi.h"

#include <cstddef>

struct EmbeddedResource {
    const char* kind; // "BITMAP", "MODULE", "WAVE", "ICON"
    int id;
    const unsigned char* data;
    size_t size;
};

struct StringResource {
    int id;
    const WCHAR* text;
};

struct AcceleratorEntry {
    int key; // virtual-key code, pressed with Control
    int command;
};

struct AcceleratorTable {
    int id;
    const AcceleratorEntry* entries;
    int count;
};

struct DialogControl {
    enum Kind { ICON, TEXT } kind;
    int x, y, width, height; // dialog units
    int iconId;              // ICON only
    const WCHAR* text;       // TEXT only
};

struct DialogTemplate {
    int id;
    const WCHAR* caption;
    bool captionOkButton;
    int width, height; // dialog units
    const DialogControl* controls;
    int controlCount;
};

// The tables the resource compiler made for this executable.
extern const EmbeddedResource embeddedResources[];
extern const size_t embeddedResourceCount;
extern const StringResource stringTable[];
extern const size_t stringTableCount;
extern const AcceleratorTable acceleratorTables[];
extern const size_t acceleratorTableCount;
extern const DialogTemplate dialogTemplates[];
extern const size_t dialogTemplateCount;

// Looks a resource up; resources registered at run time (by tests) come first.
const EmbeddedResource* findEmbeddedResource(const char* kind, int id);
// Registers or replaces a resource; the bytes must outlive every use.
void registerResource(const char* kind, int id, const unsigned char* data, size_t size);
void clearRegisteredResources();
