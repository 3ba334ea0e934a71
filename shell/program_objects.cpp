// The program-lifetime objects.
//
// On the handheld the sound objects and the three display buffers are static
// objects whose constructors query the display before the entry procedure
// runs. Here the device is chosen on the command line, which static
// constructors cannot see, so the objects are plain statics and this routine,
// run by the entry point just before WinMain, does their constructors' work in
// the same order. Their destructors still run at exit in reverse order.
#include "gfx/gapi_buffer.h"
#include "shell/startup.h"

void constructProgramObjects() {
    initFromDisplay(&blankBuffer);
    initFromDisplay(&backBuffer);
    initFromDisplay(&screenBuffer);
}
