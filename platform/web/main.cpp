// The browser edition's entry point: the page is its command line.
#include "platform/web/web.h"
#include "shell/entry.h"

int main() {
    startWebHost();
    int code = runProgram();
    finishWebHost(code);
    return code;
}
