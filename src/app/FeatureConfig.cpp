#include "app/FeatureConfig.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <utility>

#include "app/QtText.h"
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
        if (QFileInfo(ToQ(path)).isFile())
            return path;
    }
    return std::nullopt;
}

std::optional<Feature> FeatureOfLine(const std::string& line)
{
    static const std::array<std::pair<const char*, Feature>, 5> keywords{{
        {"31400-flashopen", Feature::FlashOpen},
        {"31400-paramedit", Feature::ParamEdit},
        {"31400-EeWipeFull", Feature::EeWipeFull},
        {"31400-WlanOps", Feature::WlanOps},
        {"314x0-CalStmp", Feature::CalStmp},
    }};
    for (const auto& [keyword, feature] : keywords)
        if (line == keyword)
            return feature;
    return std::nullopt;
}

std::vector<std::string> ReadConfigLines(const std::string& path)
{
    QFile file(ToQ(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> pieces = file.readAll().split('\n');
    std::vector<std::string> lines;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        QByteArray line = pieces[i];
        if (line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line.toStdString());
    }
    // The text after the last LF is a line too, taken as it is; nothing there is a line end.
    if (!pieces.last().isEmpty())
        lines.push_back(pieces.last().toStdString());
    return lines;
}

std::vector<Feature> ReadFeatures(const std::string& path)
{
    std::vector<Feature> features;
    for (const std::string& line : ReadConfigLines(path))
        if (const auto feature = FeatureOfLine(line))
            features.push_back(*feature);
    return features;
}
