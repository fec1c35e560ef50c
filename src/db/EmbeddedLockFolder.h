#pragma once

#include <string>

// The embedded engine keeps its lock table, its shared memory and its start
// guard in a lock folder: $FIREBIRD_LOCK, else /tmp/firebird. Debian's
// server creates that folder for the user and group "firebird" with no
// access for others, so the engine of any other account fails at every
// attach ("operating system directive access failed ... /tmp/firebird/").
//
// What keeps two engines from writing one database file is not the lock
// folder but the database file itself: an engine in the server mode "Super"
// opens every database with an exclusive flock(), which any other engine's
// open is refused against, whatever lock folder that one uses (it reports
// "Database already opened with engine instance, incompatible with
// current"). The lock folder only coordinates engines that share a file in
// the modes "Classic" and "SuperClassic", where it must be the same folder
// for all of them. So a folder of the user's own is safe exactly when the
// engine's configuration keeps the mode "Super", and only then is it used.

// What the choice is made from; EmbeddedLockInputs() reads the real ones.
struct SEmbeddedLockInputs
{
    std::string lockVariable;  // $FIREBIRD_LOCK as set, or empty
    std::string sharedFolder;  // the engine's default lock folder
    std::string configFile;    // the engine's firebird.conf, or empty
    std::string runtimeFolder; // $XDG_RUNTIME_DIR, or empty
    unsigned userId = 0;
};

SEmbeddedLockInputs EmbeddedLockInputs();

// True when the configuration file keeps the server mode "Super" (also
// when it names none or cannot be read: that is the engine's default).
bool EngineOpensFilesExclusively(const std::string& configFile);

// The lock folder this process's embedded engine should use instead of the
// default one, created for this user alone; empty when the default is to
// stay: $FIREBIRD_LOCK is set, the shared folder can be used, or the engine
// shares database files with other engines.
std::string ChooseEmbeddedLockFolder(const SEmbeddedLockInputs& inputs);

// Sets $FIREBIRD_LOCK to the chosen folder, if any, and gives it. Must run
// before the client library is first used: the engine reads the variable
// once, when it loads.
std::string UseEmbeddedLockFolder();

// One sentence that says what to do about an attach error that the user can
// act on (the lock folder or the database file may not be used, or another
// engine holds the file); empty for any other error.
std::string EmbeddedEngineAdvice(const std::string& attachError);
