// Runs the platform on the headless host inside a test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Installs the headless host (clock at startTick, no script), selects the
// device (qvga unless named) and a new empty data folder. Returns that folder.
std::string useTestHost(const char* device = "qvga", uint32_t startTick = 1000000);
// Points the settings files at folder (created when missing).
void setTestDataFolder(const std::string& folder);
// A new empty folder under the system's temporary folder.
std::string makeTempFolder();
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
// Runs the reefdart executable; returns its exit code, output gets stdout and stderr.
int runReefdart(const std::string& args, std::string* output = nullptr);
// Writes text to folder/run.script and runs "--headless folder/run.script args".
int runScript(const std::string& folder, const std::string& text, const std::string& args = "",
              std::string* output = nullptr);
