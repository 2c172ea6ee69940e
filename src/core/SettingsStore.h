#pragma once

#include <string>

// Per-user key-value settings.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string Value(const std::string& section, const std::string& key, const std::string& fallback) const = 0;
    virtual void SetValue(const std::string& section, const std::string& key, const std::string& value) = 0;
};
