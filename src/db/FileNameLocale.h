#pragma once

// Makes the process's character type (LC_CTYPE) a UTF-8 locale: the
// environment's own when it is one, otherwise the same locale with UTF-8, and
// C.UTF-8 as the last resort. Other categories (numbers, dates) stay as they
// were. True when LC_CTYPE is UTF-8 afterwards.
//
// The Firebird client converts a database's file name between UTF-8 and the
// character set of LC_CTYPE, in process and before it goes to a server, and
// keeps the converter it makes at its first attach. The program's names are
// UTF-8 throughout (the file dialog, the settings, the command line), so this
// must run before the first attach; in the C locale every name beyond ASCII
// fails as "Invalid connection string".
bool UseUtf8FileNames();
