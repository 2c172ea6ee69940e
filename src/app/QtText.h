#pragma once

#include <QString>
#include <string>

// Texts are UTF-8 std::string in the core and QString on screen.
inline QString ToQ(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQ(const QString& text)
{
    return text.toUtf8().toStdString();
}
