#pragma once

#include <map>
#include <string>

#include "core/SettingsStore.h"

class MemorySettings : public SettingsStore {
public:
    std::string Value(const std::string& section, const std::string& key, const std::string& fallback) const override
    {
        const auto it = values.find(section + "/" + key);
        return it == values.end() ? fallback : it->second;
    }
    void SetValue(const std::string& section, const std::string& key, const std::string& value) override
    {
        values[section + "/" + key] = value;
    }

    std::map<std::string, std::string> values;
};
