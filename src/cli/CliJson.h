#pragma once

#include <string>
#include <utility>
#include <vector>

// One JSON object, built field by field in order (values are text already in JSON form).
class JsonObject {
public:
    JsonObject& Add(const std::string& key, const std::string& text);  // a string
    JsonObject& Add(const std::string& key, const char* text) { return Add(key, std::string(text)); }
    JsonObject& Add(const std::string& key, long long number);
    JsonObject& Add(const std::string& key, int number) { return Add(key, static_cast<long long>(number)); }
    JsonObject& Add(const std::string& key, bool flag);
    JsonObject& Add(const std::string& key, const JsonObject& object);
    JsonObject& Add(const std::string& key, const std::vector<std::string>& texts);
    JsonObject& Add(const std::string& key, const std::vector<JsonObject>& objects);
    bool Empty() const { return fields_.empty(); }
    std::string Text() const;

    // A UTF-8 text as a JSON string, quotes included.
    static std::string Quote(const std::string& text);

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};
