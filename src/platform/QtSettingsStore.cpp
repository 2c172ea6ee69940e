#include "platform/QtSettingsStore.h"

namespace {
// Windows keeps per-user settings in the registry; elsewhere an INI file.
#ifdef _WIN32
constexpr QSettings::Format kFormat = QSettings::NativeFormat;
#else
constexpr QSettings::Format kFormat = QSettings::IniFormat;
#endif
}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(kFormat, QSettings::UserScope, "servicetool", "UpLoad 31400-31420-27510-27520")
{
}

static QString KeyOf(const std::string& section, const std::string& key)
{
    return QString::fromStdString(section + "/" + key);
}

std::string QtSettingsStore::Value(const std::string& section, const std::string& key, const std::string& fallback) const
{
    return settings_.value(KeyOf(section, key), QString::fromStdString(fallback)).toString().toStdString();
}

void QtSettingsStore::SetValue(const std::string& section, const std::string& key, const std::string& value)
{
    settings_.setValue(KeyOf(section, key), QString::fromStdString(value));
    settings_.sync();
}
