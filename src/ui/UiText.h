#pragma once

#include "config/CLanguageCatalog.h"

#include <QString>

// The text of id in the catalogue's language, ready for a widget.
inline QString UiText(CLanguageCatalog& catalog, ELanguageText id)
{
    return QString::fromStdU16String(catalog.GetText(id));
}

// Multi-line texts are stored with CR LF; Qt's text widgets break lines at LF.
inline QString WithLfLineEnds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
