#pragma once

#include "core/TextEncoding.h"

#include <QString>

#include <string>

// UTF-8 texts of the database layer and the editor's widget texts.
inline QString ToQString(const std::string& utf8)
{
    return QString::fromStdU16String(Utf8ToWide(utf8));
}

inline std::string ToUtf8(const QString& text)
{
    return WideToUtf8(text.toStdU16String());
}

// A language text with one value put in ("%s" or "%d").
QString FormatUiText(const QString& format, const QString& value);
QString FormatUiText(const QString& format, long long number);
