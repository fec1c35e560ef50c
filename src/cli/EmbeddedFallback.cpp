#include "cli/EmbeddedFallback.h"

#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"
#include "db/AttachProbe.h"

namespace
{
std::u16string Lower(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return text;
}
} // namespace

bool IsLocalServerName(const std::u16string& name)
{
    const std::u16string path = GetLocalDatabasePath(name);
    if (path.size() >= name.size())
        return false;
    // What stands before the path is "host:" or "host/port:".
    std::u16string host = name.substr(0, name.size() - path.size() - 1);
    host = Lower(host.substr(0, host.find(u'/')));
    return host == u"localhost" || host == u"127.0.0.1";
}

std::u16string EmbeddedFallbackName(const std::u16string& name, const std::u16string& user,
                                    const std::u16string& password)
{
    if (!IsLocalServerName(name))
        return {};
    const std::u16string path = GetLocalDatabasePath(name);
    // A relative path or an alias means something to the server only.
    if (path.empty() || path[0] != u'/' || !FileExists(path))
        return {};
    if (ProbeAttach(WideToUtf8(name), WideToUtf8(user), WideToUtf8(password)) != EAttachProbe::NoServer)
        return {};
    return path;
}
