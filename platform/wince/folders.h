// Where the settings files live.
#pragma once

#include <string>

// The folder of the executable when it can be written and the copy is not an
// installed one, else the per-user data folder ($XDG_DATA_HOME/reefdart, by
// default ~/.local/share/reefdart).
std::string defaultDataFolder();
// Uses folder (created when missing); returns false with a message when it
// cannot be made.
bool setDataFolder(const std::string& folder, std::string* error);
// Uses a new empty folder under the system's temporary folder, and gives its
// path; false with a message when none can be made.
bool useTemporaryDataFolder(std::string* folder, std::string* error);
