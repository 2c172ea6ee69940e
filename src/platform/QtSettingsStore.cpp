#include "platform/QtSettingsStore.h"

QtSettingsStore::QtSettingsStore()
    : settings_(QSettings::IniFormat, QSettings::UserScope, "servicetool", "UpLoad 31400-31420-27510-27520")
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
