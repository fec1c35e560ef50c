#include "db/FileNameLocale.h"

#include <algorithm>
#include <clocale>
#include <langinfo.h>
#include <string>
#include <strings.h>

namespace
{
bool CharacterTypeIsUtf8()
{
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0);
}
} // namespace

bool UseUtf8FileNames()
{
    if (std::setlocale(LC_CTYPE, "") != nullptr && CharacterTypeIsUtf8())
        return true;
    // "de_DE.ISO-8859-1" or "de_DE@euro" becomes "de_DE.UTF-8".
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    std::string sibling = current != nullptr ? current : "";
    sibling = sibling.substr(0, std::min(sibling.find('.'), sibling.find('@')));
    if (!sibling.empty() && sibling != "C" && sibling != "POSIX")
    {
        if (std::setlocale(LC_CTYPE, (sibling + ".UTF-8").c_str()) != nullptr && CharacterTypeIsUtf8())
            return true;
    }
    for (const char* fallback : {"C.UTF-8", "C.utf8"})
    {
        if (std::setlocale(LC_CTYPE, fallback) != nullptr && CharacterTypeIsUtf8())
            return true;
    }
    return false;
}
