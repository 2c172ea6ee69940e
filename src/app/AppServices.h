#pragma once

#include <string>

#include "core/Dialogs.h"
#include "core/Host.h"
#include "core/SettingsStore.h"
#include "link/SerialLink.h"

// What the window needs from outside: the serial link, the clock and event pump, dialogs, the
// per-user settings and the folder of the executable (no trailing separator).
struct AppServices {
    SerialLink& link;
    Host& host;
    Dialogs& dialogs;
    SettingsStore& settings;
    std::string appFolder;
};
