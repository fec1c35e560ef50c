#pragma once

#include "config/CAppSettings.h"
#include "copy/CTableList.h"

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
    // What PrepareDatabases found.
    enum EPrepareResult
    {
        Prepared = 0,
        SourceNotAttached = 1,
        DestNotAttached = 2,
        EngineBusy = 3,
    };

    CRowmoverState();
    ~CRowmoverState();
    CRowmoverState(const CRowmoverState&) = delete;
    CRowmoverState& operator=(const CRowmoverState&) = delete;

    // Sets m_sHomeBase and m_sAppDir from the running program file (or the
    // first command-line argument when that gives no folder).
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
    // without touching the engine, while a copy runs on it.
    int PrepareEngine(bool checkOnly);
    // The tables present in both databases with the destination's triggers,
    // sorted as the list shows them; false when a database cannot be attached.
    bool LoadTableList(std::vector<STableListRow>& rows) const;

    std::u16string m_sSourceDb;
    std::u16string m_sSourceUser;
    std::u16string m_sSourcePassword;
    std::u16string m_sDestDb;
    std::u16string m_sDestUser;
    std::u16string m_sDestPassword;
    std::unique_ptr<CCopyEngine> m_pCopyEngine;
    bool m_bSilent = false;
};

// Where dropped files go: the database names that change and whether the
// table list is refreshed. An empty name leaves its side alone.
struct SDropTargets
{
    std::u16string sSourceDb;
    std::u16string sDestDb;
    bool bRefresh = false;
};

// "localhost:" followed by the file's full path.
std::u16string DroppedDatabaseName(const std::u16string& fullPath);
// True for the extensions ".fdb" and ".gdb" in any letter case.
bool IsDatabaseFileName(const std::u16string& name);
// One file goes to the source while sourceShown is empty, else to the
// destination (which refreshes the list); two files are source and
// destination, each when its extension fits, and always refresh; any other
// count changes nothing.
SDropTargets DropTargets(const std::vector<std::u16string>& fullPaths, bool sourceShown);
