#pragma once

#include <string>
#include <vector>

#include "core/Dialogs.h"
#include "core/Host.h"
#include "core/SettingsStore.h"
#include "link/SerialLink.h"

// What the window needs from outside: the serial link, the clock and event pump, dialogs, the
// per-user settings, the folder of the executable (no trailing separator) and the folders searched
// for the feature configuration file, in order (none given: the executable's folder only).
struct AppServices {
    SerialLink& link;
    Host& host;
    Dialogs& dialogs;
    SettingsStore& settings;
    std::string appFolder;
    std::vector<std::string> configFolders{};
};
