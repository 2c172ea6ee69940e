#pragma once

#include <QObject>
#include <QString>

// Gives a control its name: code and tests find controls by the names the program uses.
template <typename T>
T* Named(T* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}
