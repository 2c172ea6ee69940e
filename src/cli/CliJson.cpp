#include "cli/CliJson.h"

#include <cstdio>

std::string JsonObject::Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                quoted += escaped;
            } else {
                quoted += c;  // UTF-8 passes as it is
            }
        }
    }
    return quoted + "\"";
}

JsonObject& JsonObject::Add(const std::string& key, const std::string& text)
{
    fields_.emplace_back(key, Quote(text));
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, long long number)
{
    fields_.emplace_back(key, std::to_string(number));
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, bool flag)
{
    fields_.emplace_back(key, flag ? "true" : "false");
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, const JsonObject& object)
{
    fields_.emplace_back(key, object.Text());
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, const std::vector<std::string>& texts)
{
    std::string list = "[";
    for (std::size_t i = 0; i < texts.size(); ++i)
        list += (i ? "," : "") + Quote(texts[i]);
    fields_.emplace_back(key, list + "]");
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, const std::vector<JsonObject>& objects)
{
    std::string list = "[";
    for (std::size_t i = 0; i < objects.size(); ++i)
        list += (i ? "," : "") + objects[i].Text();
    fields_.emplace_back(key, list + "]");
    return *this;
}

std::string JsonObject::Text() const
{
    std::string text = "{";
    for (std::size_t i = 0; i < fields_.size(); ++i)
        text += (i ? "," : "") + Quote(fields_[i].first) + ":" + fields_[i].second;
    return text + "}";
}
