#pragma once

#include <QString>

// Gives a widget the object name tests and style sheets find it by, and
// returns it, so a widget can be created, named and placed in one statement.
template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
