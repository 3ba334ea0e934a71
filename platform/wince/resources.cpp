// Finding the executable's resources: embedded files, strings, accelerator
// tables and dialog templates.
#include "platform/wince/resources.h"

#include "platform/wince/messages.h"

#include <cstring>
#include <vector>

namespace {

struct Registered {
    const char* kind;
    int id;
    EmbeddedResource resource;
};

std::vector<Registered>& registered() {
    static std::vector<Registered> list;
    return list;
}

} // namespace

const EmbeddedResource* findEmbeddedResource(const char* kind, int id) {
    for (const Registered& r : registered())
        if (r.id == id && std::strcmp(r.kind, kind) == 0) return &r.resource;
    for (size_t i = 0; i < embeddedResourceCount; ++i) {
        const EmbeddedResource& r = embeddedResources[i];
        if (r.id == id && std::strcmp(r.kind, kind) == 0) return &r;
    }
    return nullptr;
}

void registerResource(const char* kind, int id, const unsigned char* data, size_t size) {
    for (Registered& r : registered())
        if (r.id == id && std::strcmp(r.kind, kind) == 0) {
            r.resource = {kind, id, data, size};
            return;
        }
    registered().push_back({kind, id, {kind, id, data, size}});
}

void clearRegisteredResources() {
    registered().clear();
}

int LoadStringW(HINSTANCE, UINT id, WCHAR* buffer, int capacity) {
    if (!buffer || capacity < 1) return 0;
    for (size_t i = 0; i < stringTableCount; ++i) {
        if (stringTable[i].id != static_cast<int>(id)) continue;
        const WCHAR* text = stringTable[i].text;
        int n = 0;
        while (text[n] && n < capacity - 1) {
            buffer[n] = text[n];
            ++n;
        }
        buffer[n] = 0;
        return n;
    }
    buffer[0] = 0;
    return 0;
}

HACCEL LoadAcceleratorsW(HINSTANCE, int id) {
    for (size_t i = 0; i < acceleratorTableCount; ++i)
        if (acceleratorTables[i].id == id)
            return reinterpret_cast<HACCEL>(const_cast<AcceleratorTable*>(&acceleratorTables[i]));
    return nullptr;
}

int TranslateAcceleratorW(HWND window, HACCEL handle, MSG* msg) {
    if (!handle || !msg || !window || msg->message != WM_KEYDOWN) return 0;
    if (!keyIsDown(VK_CONTROL)) return 0;
    const AcceleratorTable* table = reinterpret_cast<const AcceleratorTable*>(handle);
    for (int i = 0; i < table->count; ++i) {
        if (static_cast<WPARAM>(table->entries[i].key) != msg->wParam) continue;
        sendMessage(window, WM_COMMAND, static_cast<WPARAM>(table->entries[i].command), 0);
        return 1;
    }
    return 0;
}

HICON LoadIconW(HINSTANCE, int id) {
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(id));
}

const DialogTemplate* FindDialogTemplate(HINSTANCE, int id) {
    for (size_t i = 0; i < dialogTemplateCount; ++i)
        if (dialogTemplates[i].id == id) return &dialogTemplates[i];
    return nullptr;
}
