// Start-up and shutdown.
#pragma once

#include "platform/wince/winapi.h"

void startUp(HWND window);
void quitProgram();
void displayShutdown();
// Sets up the program-lifetime objects in the order static construction
// would; see shell/program_objects.cpp.
void constructProgramObjects();
