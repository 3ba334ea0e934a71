// The string table, accelerator table and dialog templates of the executable.
#include "platform/wince/resources.h"

const StringResource stringTable[] = {
    {1, L"Reefdart"},   // window title
    {2, L"Loading..."}, // drawn until start-up has finished
    {3, L"Reefdart"},   // window class name
};
const size_t stringTableCount = sizeof stringTable / sizeof stringTable[0];

namespace {
const AcceleratorEntry mainAccelerators[] = {
    {'A', 40003}, // Ctrl+A: the About box
    {'Q', 1},     // Ctrl+Q: answered with nothing
};

const DialogControl aboutControls[] = {
    {DialogControl::ICON, 11, 17, 20, 20, 101, nullptr},
    // Kept on purpose: fidelity K11.
    {DialogControl::TEXT, 40, 10, 70, 8, 0, L"pixbench Version 1.0"},
    {DialogControl::TEXT, 40, 25, 70, 8, 0, L"Graphics and sound engine"},
};
} // namespace

const AcceleratorTable acceleratorTables[] = {{3, mainAccelerators, 2}};
const size_t acceleratorTableCount = 1;

const DialogTemplate dialogTemplates[] = {
    {103, L"About pixbench", true, 140, 57, aboutControls, 3},
};
const size_t dialogTemplateCount = 1;
