#include "platform/ConfigPlaces.h"

#include <QStandardPaths>

#include "core/FeatureConfig.h"

std::vector<std::string> ConfigSearchFolders(const std::string& appFolder)
{
    const std::string userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
    return ConfigFolders(appFolder, userFolder);
}
