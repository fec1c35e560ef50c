#pragma once

#include "copy/run/RunSettings.h"

#include <string>

// Copies of a whole database that the engine vouches for: what a restore
// gives back is the database as it was at one moment, even while other
// attachments write to it.

// The database's size as the engine reports it (pages times page size), or
// -1 when it cannot be attached.
long long DatabaseSize(const SDatabaseLogin& login, int attempts);

// Copies the database's file to target while the engine holds the file
// still for it (ALTER DATABASE BEGIN BACKUP ... END BACKUP: the changes
// meanwhile wait in a delta file and are merged at the end), then marks the
// copy as a database of its own. localFile is the file the login reaches.
// A target that cannot be completed is removed. False with the reason;
// lockRefused tells when the engine refused the backup lock itself (only
// the database's owner and administrators may take it), before any copy.
bool CopyLockedFile(const SDatabaseLogin& login, const std::string& localFile, const std::string& target, int attempts,
                    std::string& error, bool& lockRefused);

// Ends the backup state that CopyLockedFile holds at this moment, if any:
// for an interrupt that ends the program in the middle of the copy. Safe to
// call from any thread.
void EndLockedCopyInProgress();

// Has the server make a backup (gbak's format) of the database and stream
// it to target on this computer, so that a database whose file this program
// cannot reach (another host, an alias) gets a copy. False with the reason;
// a target that cannot be completed is removed.
bool BackupThroughServer(const SDatabaseLogin& login, const std::string& target, std::string& error);

// Whether the database is held in backup state (stalled or merging), as
// MON$DATABASE says; false also when it cannot be asked.
bool IsInBackupState(const SDatabaseLogin& login, int attempts);

// Ends a backup state that no copy holds any more: the delta is merged.
bool EndBackupState(const SDatabaseLogin& login, int attempts, std::string& error);

// Clears the backup state bits a copy of a locked file carries in its
// header page, as nbackup -F does; false when the file is no database.
bool MarkCopyAsOwnDatabase(const std::string& file);

// "12.3 MB", "4.0 KB": a size for a log or a message.
std::string ByteText(long long bytes);
