#pragma once

#include <cstddef>
#include <string>

// Whether a run writes its run log, SQL log and data text log. The
// failed-records report is written either way.
enum class ELogging
{
    Off,
    On,
};

// A database as a run reaches it.
struct SDatabaseLogin
{
    std::string database; // a file, or server:path
    std::string user;
    std::string password;
};

// The files of one run, named by its preparation.
struct SRunFiles
{
    std::string runLog;
    std::string sqlLog;
    std::string textLog;
    std::string errorReport;     // "update_error.txt" in the program folder ("-2" beside a running copy)
    std::string sourceBackup;    // the dated copy of the source database
    std::string destinationCopy; // the destination as it was before the run
};

// Where a run keeps its files, and whether it copies the destination first.
struct SRunPlaces
{
    // The source's backup and the destination's way back; empty: the backup
    // beside the logs, the way back in the program folder.
    std::string backupFolder;
    // The three logs; empty: a folder "DB_copy_<date>" beside the source.
    std::string logFolder;
    // The destination is copied before the run (its way back).
    bool wayBack = true;
};

// A file system without room for what a run would write to it.
struct SSpaceShortage
{
    std::string folder;   // one of the run's folders on it
    long long needed = 0; // bytes
    long long available = 0;
};

// How a database copy was made.
enum class ECopyKind
{
    None,
    LockedFile,   // the file, copied while the engine held its backup lock
    ServerBackup, // a backup (gbak format) that the server streamed to this program
    PlainFile,    // the file as it was: the engine refused this user its backup lock
};

// Everything a copy run works with, set by its preparation and then read by
// every table's copy.
struct SRunSettings
{
    SDatabaseLogin source;
    SDatabaseLogin dest;
    // What identifies each database whatever its name (ReadDatabaseIdentity);
    // empty when the server would not say.
    std::string sourceIdentity;
    std::string destIdentity;
    // Files beside the primary one (secondary files, shadows): a copy of the
    // primary file alone is no copy of such a database.
    bool sourceInFiles = false;
    bool destInFiles = false;
    // The code page of the source's CHARACTER SET NONE text (a Firebird
    // character set name such as WIN1252); empty copies its bytes as they are.
    std::string sourceCharset;
    SRunFiles files;
    SRunPlaces places;
    ELogging logging = ELogging::On;
    // Each copied table is read back and compared with the source.
    bool verify = true;
    int attempts = 1;          // attach attempts of every attachment
    size_t maxBatchRows = 128; // most rows sent per round trip (1: one INSERT per row)
};
