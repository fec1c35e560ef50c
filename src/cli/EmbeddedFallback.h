#pragma once

#include <string>

// The embedded engine as the fallback of a server on this computer: a name
// such as "localhost:/data/shop.fdb" needs a running server, while the file
// it names can be opened in this process without one.

// True when name reaches its database through a server on this computer:
// host "localhost" (any letter case) or "127.0.0.1", with or without a port
// ("localhost/3051:").
bool IsLocalServerName(const std::u16string& name);

// The file that the embedded engine opens in place of name: its path, when
// name is a local server name of an existing file and no server answers
// there; otherwise empty. Attaches once through the server to find out.
std::u16string EmbeddedFallbackName(const std::u16string& name, const std::u16string& user,
                                    const std::u16string& password);
