#pragma once

#include <QSettings>

#include "core/SettingsStore.h"

// Per-user settings under the application's title (on Linux an INI file below XDG_CONFIG_HOME, on
// Windows the registry below HKEY_CURRENT_USER\Software\servicetool).
class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    std::string Value(const std::string& section, const std::string& key, const std::string& fallback) const override;
    void SetValue(const std::string& section, const std::string& key, const std::string& value) override;
    std::string FileName() const { return settings_.fileName().toStdString(); }

private:
    mutable QSettings settings_;
};
