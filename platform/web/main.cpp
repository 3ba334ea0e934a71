// The browser edition's entry point: the page is its command line.
#include "platform/web/web.h"
#include "shell/entry.h"

#include <string>

int main() {
    openWebData();
    std::string device = webAddressDevice(), path, error;
    bool watching = webReplayToWatch(&path, &error);
    if (watching) {
        std::string played;
        if (error.empty()) watchReplayFile(path.c_str(), &played, &error);
        if (!error.empty()) {
            webCannotWatch(error.c_str());
            return 1;
        }
        // A replay is watched on the layout it was played on.
        if (device.empty()) device = played;
    }
    setRecordingEdition("web", REEFDART_VERSION);
    if (!watching) startWebOnline();
    startWebHost(device.c_str());
    int code = runProgram();
    finishWebHost(code);
    return code;
}
