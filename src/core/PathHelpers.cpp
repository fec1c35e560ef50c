#include "core/PathHelpers.h"

// Every rule here looks only at ASCII characters ("/", "\", ":", ".", "["),
// so the same code serves UTF-16 and UTF-8 paths byte for byte.
namespace
{
template <typename Str>
using Ch = typename Str::value_type;

template <typename C>
bool IsSeparator(C c)
{
    return c == C('/') || c == C('\\');
}

template <typename C>
bool IsAsciiLetter(C c)
{
    return (c >= C('a') && c <= C('z')) || (c >= C('A') && c <= C('Z'));
}

// "C:\..." or "C:/...": a Windows drive, not a server name.
template <typename Str>
bool StartsWithDrive(const Str& text)
{
    using C = Ch<Str>;
    return text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == C(':') && (text.size() == 2 || IsSeparator(text[2]));
}

template <typename Str>
Str Ascii(const char* text)
{
    Str result;
    for (; *text; ++text)
        result.push_back(static_cast<Ch<Str>>(*text));
    return result;
}

template <typename Str>
Str DirectoryPart(const Str& path)
{
    for (size_t i = path.size(); i-- > 1;)
    {
        if (IsSeparator(path[i]))
            return path.substr(0, i + 1);
    }
    return path;
}

template <typename Str>
Str FileNamePart(const Str& path)
{
    if (path.size() < 2)
        return path;
    // A separator at the very end is skipped and the search goes on to the left.
    for (size_t i = path.size() - 1; i-- > 1;)
    {
        if (IsSeparator(path[i]))
            return path.substr(i + 1);
    }
    return path;
}

template <typename Str>
Str Extension(const Str& path)
{
    const size_t dot = path.rfind(Ch<Str>('.'));
    if (dot == Str::npos || dot == 0)
        return {};
    return path.substr(dot);
}

// The local path of a URL-style name "inet://host[:port]/path".
template <typename Str>
Str LocalPathOfUrl(const Str& afterScheme)
{
    const size_t slash = afterScheme.find(Ch<Str>('/'));
    if (slash == Str::npos)
        return afterScheme;
    Str path = afterScheme.substr(slash + 1);
    if (path.empty() || IsSeparator(path[0]) || StartsWithDrive(path))
        return path;
    // "inet://host/data/x.fdb" names the absolute file /data/x.fdb on that host.
    return Ascii<Str>("/") + path;
}

// The index of the colon that ends a server part "host:", "host/port:",
// "host/service:" or "[v6]:", or npos when the name is a plain local path.
template <typename Str>
size_t ServerPartColon(const Str& name)
{
    using C = Ch<Str>;
    if (name.empty() || IsSeparator(name[0]) || name[0] == C('.') || StartsWithDrive(name))
        return Str::npos;
    size_t searchFrom = 0;
    if (name[0] == C('['))
    {
        const size_t close = name.find(C(']'));
        if (close == Str::npos)
            return Str::npos;
        searchFrom = close;
    }
    const size_t colon = name.find(C(':'), searchFrom);
    if (colon == Str::npos || colon == 0)
        return Str::npos;
    // A backslash before the colon means a Windows path, not a host.
    if (name.find(C('\\')) < colon)
        return Str::npos;
    return colon;
}

template <typename Str>
Str LocalDatabasePath(const Str& name)
{
    for (const char* scheme : {"inet://", "inet4://", "inet6://"})
    {
        const Str prefix = Ascii<Str>(scheme);
        if (name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
            return LocalPathOfUrl(name.substr(prefix.size()));
    }
    const size_t colon = ServerPartColon(name);
    return colon == Str::npos ? name : name.substr(colon + 1);
}

template <typename Str>
Str DatabaseHost(const Str& name)
{
    using C = Ch<Str>;
    Str host;
    for (const char* scheme : {"inet://", "inet4://", "inet6://"})
    {
        const Str prefix = Ascii<Str>(scheme);
        if (name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
        {
            const Str rest = name.substr(prefix.size());
            host = rest.substr(0, rest.find(C('/')));
            // "host:port" or "[v6]:port"
            const size_t close = host.find(C(']'));
            const size_t colon = host.find(C(':'), close == Str::npos ? 0 : close);
            if (colon != Str::npos && (host[0] != C('[') || close != Str::npos))
                host = host.substr(0, colon);
            break;
        }
    }
    if (host.empty())
    {
        const size_t colon = ServerPartColon(name);
        if (colon == Str::npos)
            return {};
        host = name.substr(0, colon);
        const size_t close = host.find(C(']'));
        // "host/port" or "host/service"
        host = host.substr(0, host.find(C('/'), close == Str::npos ? 0 : close));
    }
    if (host.size() >= 2 && host.front() == C('[') && host.back() == C(']'))
        host = host.substr(1, host.size() - 2);
    return host;
}
} // namespace

std::string GetDatabaseHost(const std::string& databaseName) { return DatabaseHost(databaseName); }
std::u16string GetDirectoryPart(const std::u16string& path) { return DirectoryPart(path); }
std::string GetDirectoryPart(const std::string& path) { return DirectoryPart(path); }
std::u16string GetFileNamePart(const std::u16string& path) { return FileNamePart(path); }
std::u16string GetExtension(const std::u16string& path) { return Extension(path); }
std::string GetExtension(const std::string& path) { return Extension(path); }
std::u16string GetLocalDatabasePath(const std::u16string& databaseName) { return LocalDatabasePath(databaseName); }
std::string GetLocalDatabasePath(const std::string& databaseName) { return LocalDatabasePath(databaseName); }

std::u16string GetExtensionLower(const std::u16string& path)
{
    std::u16string ext = GetExtension(path);
    for (auto& c : ext)
    {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return ext;
}

std::u16string GetTextAfterColon(const std::u16string& path)
{
    const size_t colon = path.find(u':');
    return colon == std::u16string::npos ? path : path.substr(colon + 1);
}

std::u16string ConvertSeparators(const std::u16string& path, bool toBackslash)
{
    std::u16string result = path;
    for (auto& c : result)
    {
        if (toBackslash && c == u'/')
            c = u'\\';
        else if (!toBackslash && c == u'\\')
            c = u'/';
    }
    return result;
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name)
{
    if (folder.empty() || IsSeparator(folder.back()))
        return folder + name;
    return folder + u"/" + name;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || IsSeparator(folder.back()))
        return folder + name;
    return folder + "/" + name;
}
