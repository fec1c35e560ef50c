#pragma once

#include "config/CLanguageCatalog.h"

#include <QString>

// The text of id in the catalogue's language, ready for a widget.
inline QString UiText(CLanguageCatalog& catalog, ELanguageText id)
{
    return QString::fromStdU16String(catalog.GetText(id));
}
