#pragma once

#include "app/DatabaseCheck.h"
#include "config/CAppSettings.h"
#include "copy/plan/CTableList.h"

#include <memory>
#include <string>
#include <vector>

class CCopyEngine;

// The main window's state and the work behind it that needs no widget: the
// settings, the two folders, the chosen databases with their credentials,
// the copy engine, the table list's contents and the rules for dropped files.
class CRowmoverState : public CAppSettings
{
  public:
    enum class ESide
    {
        Source,
        Dest,
    };
    // What the last attach of a side's database showed.
    enum class EAttach
    {
        Unknown,
        Attached,
        Failed,
    };

    // What PrepareDatabases found.
    enum EPrepareResult
    {
        Prepared = 0,
        SourceNotAttached = 1,
        DestNotAttached = 2,
        SameDatabase = 3, // both names reach one database
        EngineBusy = 4,
        NoSpace = 5, // too little free space for the copies and logs
    };

    CRowmoverState();
    ~CRowmoverState();
    CRowmoverState(const CRowmoverState&) = delete;
    CRowmoverState& operator=(const CRowmoverState&) = delete;

    // Sets m_sHomeBase, m_sAppDir and m_sRunFiles from the running program
    // file (or the first command-line argument when that gives no folder).
    void ResolveFolders(const std::string& programFile, const std::string& firstArgument);
    // m_sAppDir followed by "Rowmover.ini".
    std::u16string SettingsFile() const;
    // Makes the copy engine with the default credentials and attach attempts,
    // keeping its trigger journal in the data folder.
    void CreateCopyEngine();
    // Users and passwords of both databases become the defaults.
    void UseDefaultCredentials();

    // Hands both databases to the copy engine (only a test attachment with
    // checkOnly); an EPrepareResult or another engine result. EngineBusy,
    // without touching the engine, while a copy runs on it. A side whose
    // local server name fails because no server answers is opened directly
    // (see EmbeddedFallback.h) and the preparation tried again. Records the
    // attach state of every side it tried.
    int PrepareEngine(bool checkOnly);
    // Attaches one side's database and detaches again, falling back to the
    // embedded engine like PrepareEngine; true when it attached.
    bool CheckDatabase(ESide side);
    // A check of the chosen sides (and, with listTables, the table list)
    // on copies of the names and credentials, to run on another thread.
    SDatabaseCheck MakeDatabaseCheck(bool source, bool dest, bool listTables) const;
    // Takes over what a finished check found: fallback names, attach states
    // and the failed attach's reason. Gives its result (EPrepareResult).
    int TakeDatabaseCheck(const SDatabaseCheck& check);
    // The server's message for the last attach that PrepareEngine or
    // CheckDatabase saw fail; empty after a success.
    const std::string& LastAttachError() const { return m_sAttachError; }
    // A new name for a side: its attach state is unknown again.
    void SetDatabase(ESide side, const std::u16string& name);
    std::u16string& Database(ESide side) { return side == ESide::Source ? m_sSourceDb : m_sDestDb; }
    const std::u16string& Database(ESide side) const { return side == ESide::Source ? m_sSourceDb : m_sDestDb; }
    EAttach AttachState(ESide side) const { return side == ESide::Source ? m_eSourceAttach : m_eDestAttach; }
    // True while the side's name is the file that the embedded engine opens
    // because its server name found no server.
    bool OpenedDirectly(ESide side) const
    {
        return side == ESide::Source ? m_bSourceOpenedDirectly : m_bDestOpenedDirectly;
    }
    // The tables present in both databases with the destination's triggers,
    // sorted as the list shows them; false when a database cannot be attached.
    bool LoadTableList(std::vector<STableListRow>& rows) const;

    // Where a copy keeps the files of the program folder (SStartupFolders),
    // and the line that says so when that is not the program folder.
    std::u16string m_sRunFiles;
    std::string m_sRunFilesNote;
    std::u16string m_sSourceDb;
    std::u16string m_sSourceUser;
    std::u16string m_sSourcePassword;
    std::u16string m_sDestDb;
    std::u16string m_sDestUser;
    std::u16string m_sDestPassword;
    std::unique_ptr<CCopyEngine> m_pCopyEngine;
    bool m_bSilent = false;

  private:
    // Switches the side to its file when its server name finds no server;
    // true when the name changed.
    bool FallBackToEmbedded(ESide side);
    void SetAttachState(ESide side, EAttach state);

    EAttach m_eSourceAttach = EAttach::Unknown;
    EAttach m_eDestAttach = EAttach::Unknown;
    bool m_bSourceOpenedDirectly = false;
    bool m_bDestOpenedDirectly = false;
    std::string m_sAttachError;
};

// Where dropped files go: the database names that change. An empty name
// leaves its side alone.
struct SDropTargets
{
    std::u16string sSourceDb;
    std::u16string sDestDb;
};

// prefix (the server part that "extend database names" adds, or empty)
// followed by the file's full path.
std::u16string DroppedDatabaseName(const std::u16string& fullPath, const std::u16string& prefix);
// True for the extensions ".fdb" and ".gdb" in any letter case.
bool IsDatabaseFileName(const std::u16string& name);
// One file goes to the source while sourceShown is false, else to the
// destination; two files are source and destination, each when its
// extension fits; any other count changes nothing. Names are made by
// DroppedDatabaseName with prefix.
SDropTargets DropTargets(const std::vector<std::u16string>& fullPaths, bool sourceShown, const std::u16string& prefix);
