#include "core/FeatureConfig.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "core/Files.h"
#include "core/Paths.h"

std::vector<std::string> ConfigFolders(const std::string& appFolder, const std::string& userFolder, OsFamily os)
{
    std::vector<std::string> folders;
    for (const std::string& folder : {appFolder, userFolder, std::string(os == OsFamily::Unix ? kSystemConfigFolder : "")})
        if (!folder.empty())
            folders.push_back(folder);
    return folders;
}

std::optional<std::string> FindConfigFile(const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders) {
        const std::string path = JoinPath(folder, kConfigFileName);
        std::error_code error;
        if (std::filesystem::is_regular_file(FsPath(path), error))
            return path;
    }
    return std::nullopt;
}

namespace {
constexpr std::array<std::pair<const char*, Feature>, 5> kKeywords{{
    {"31400-flashopen", Feature::FlashOpen},
    {"31400-paramedit", Feature::ParamEdit},
    {"31400-EeWipeFull", Feature::EeWipeFull},
    {"31400-WlanOps", Feature::WlanOps},
    {"314x0-CalStmp", Feature::CalStmp},
}};
}  // namespace

std::optional<Feature> FeatureOfLine(const std::string& line)
{
    for (const auto& [keyword, feature] : kKeywords)
        if (line == keyword)
            return feature;
    return std::nullopt;
}

std::string KeywordOf(Feature feature)
{
    for (const auto& [keyword, known] : kKeywords)
        if (known == feature)
            return keyword;
    return {};
}

std::vector<std::string> ConfigLinesOfText(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    // The text after the last LF is a line too, taken as it is; nothing there is a line end.
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> ReadConfigLines(const std::string& path)
{
    std::ifstream file(FsPath(path), std::ios::binary);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return ConfigLinesOfText(text.str());
}

std::vector<Feature> ReadFeatures(const std::string& path)
{
    std::vector<Feature> features;
    for (const std::string& line : ReadConfigLines(path))
        if (const auto feature = FeatureOfLine(line))
            features.push_back(*feature);
    return features;
}
