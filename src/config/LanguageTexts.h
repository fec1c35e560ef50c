#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Every text the user sees, by language key, with its built-in English text.
// Each entry: identifier, key, English text, and the arguments the program
// formats the text with ("s" a string, "d" an integer, in order; empty for a
// text that is not a format). A translation may use fewer of the arguments
// than it is given, never others.
// clang-format off
#define ROWMOVER_LANGUAGE_TEXTS(X) \
    X(FrmCheck_Caption, "FrmCheck.Caption", "Check copy", "") \
    X(FrmCheck_m_BTNCopy, "FrmCheck.m_BTNCopy", "Start copy", "") \
    X(FrmCheck_m_BTNClose, "FrmCheck.m_BTNClose", "Close", "") \
    X(FrmCheck_m_aMSummary, "FrmCheck.m_aMSummary", "%s tables checked: %s will fail, %s with warnings, %s fine.", "ssss") \
    X(FrmCheck_m_aMFails, "FrmCheck.m_aMFails", "will fail", "") \
    X(FrmCheck_m_aMWarns, "FrmCheck.m_aMWarns", "warnings", "") \
    X(FrmCheck_m_aMFine, "FrmCheck.m_aMFine", "fine", "") \
    X(FrmCheck_m_aMTable, "FrmCheck.m_aMTable", "%s: %s, %s rows, about %s", "ssss") \
    X(FrmCheck_m_aMNotChecked, "FrmCheck.m_aMNotChecked", "The databases could not be checked: %s", "s") \
    X(FrmCheck_m_aMDropped, "FrmCheck.m_aMDropped", "%s: %s values are not carried; the destination has no such column", "ss") \
    X(FrmCheck_m_aMComputed, "FrmCheck.m_aMComputed", "%s: %s values are not carried; the destination computes this column", "ss") \
    X(FrmCheck_m_aMTooLong, "FrmCheck.m_aMTooLong", "%s: %s values are longer than %s; those rows fail", "sss") \
    X(FrmCheck_m_aMOutOfRange, "FrmCheck.m_aMOutOfRange", "%s: %s values are beyond what %s holds; those rows fail", "sss") \
    X(FrmCheck_m_aMBeyondPrecision, "FrmCheck.m_aMBeyondPrecision", "%s: %s values have more digits than %s declares", "sss") \
    X(FrmCheck_m_aMRounded, "FrmCheck.m_aMRounded", "%s: %s values are rounded to %s", "sss") \
    X(FrmCheck_m_aMTimeDropped, "FrmCheck.m_aMTimeDropped", "%s: %s values lose their time of day", "ss") \
    X(FrmCheck_m_aMDateDropped, "FrmCheck.m_aMDateDropped", "%s: %s values lose their date", "ss") \
    X(FrmCheck_m_aMCopyDate, "FrmCheck.m_aMCopyDate", "%s: %s values take the date or time of the copy", "ss") \
    X(FrmCheck_m_aMNotANumber, "FrmCheck.m_aMNotANumber", "%s: %s values are not numbers; those rows fail", "ss") \
    X(FrmCheck_m_aMNotConvertible, "FrmCheck.m_aMNotConvertible", "%s: %s values do not convert to %s; those rows fail", "sss") \
    X(FrmCheck_m_aMNotInCharacterSet, "FrmCheck.m_aMNotInCharacterSet", "%s: %s values hold characters that %s does not have; those rows fail", "sss") \
    X(FrmCheck_m_aMLegacyText, "FrmCheck.m_aMLegacyText", "%s: %s values hold CHARACTER SET NONE bytes that the destination refuses without the source code page; those rows fail", "ss") \
    X(FrmCheck_m_aMUnmappedBytes, "FrmCheck.m_aMUnmappedBytes", "%s: %s values hold bytes that stand for no character in %s; those rows fail", "sss") \
    X(FrmCheck_m_aMNullIntoNotNull, "FrmCheck.m_aMNullIntoNotNull", "%s: %s values are NULL and the column is NOT NULL; those rows fail", "ss") \
    X(FrmCheck_m_aMNeedsDefault, "FrmCheck.m_aMNeedsDefault", "%s (%s): NOT NULL, not in the source and without DEFAULT; the table is not copied", "ss") \
    X(FrmCheck_m_aMUnreadable, "FrmCheck.m_aMUnreadable", "%s (%s): a type this program cannot read; the table is not copied", "ss") \
    X(FrmCheck_m_aMNotATable, "FrmCheck.m_aMNotATable", "Not copied: %s", "s") \
    X(FrmCheck_m_aMMissingParent, "FrmCheck.m_aMMissingParent", "%s: %s rows refer to keys that %s of the destination does not hold; those rows fail", "sss") \
    X(FrmCheck_m_aMDuplicateKeys, "FrmCheck.m_aMDuplicateKeys", "%s: %s rows repeat a key of %s that an earlier row holds; those rows fail", "sss") \
    X(FrmCheck_m_aMCheckRefuses, "FrmCheck.m_aMCheckRefuses", "%s rows are refused by the CHECK of %s; those rows fail", "ss") \
    X(FrmCheck_m_aMReachesOthers, "FrmCheck.m_aMReachesOthers", "Not copied: rows of %s refer to its rows, and this copy does not refill that table", "s") \
    X(FrmCheck_m_aMCycle, "FrmCheck.m_aMCycle", "Foreign keys form a cycle that no nullable key can break (%s); rows that wait for one another fail", "s") \
    X(FrmCheck_m_aMUndeferredCheck, "FrmCheck.m_aMUndeferredCheck", "CHECK constraint %s reads %s, which cannot wait until this table is filled (NOT NULL, or no primary key); rows it refuses fail", "ss") \
    X(FrmCheck_m_aMGroupRefused, "FrmCheck.m_aMGroupRefused", "Not copied: it is copied together with %s, which cannot be refilled", "s") \
    X(FrmCheck_m_aMDeferred, "FrmCheck.m_aMDeferred", "%s: inserted empty and set after the other tables (%s)", "ss") \
    X(FrmCheck_m_aMReceives, "FrmCheck.m_aMReceives", "%s: not in the source, receives %s", "ss") \
    X(FrmCheck_m_aMTriggers, "FrmCheck.m_aMTriggers", "Triggers switched off during the copy: %s", "s") \
    X(FrmCheck_m_aMGenerators, "FrmCheck.m_aMGenerators", "Generators set to the source's values: %s", "s") \
    X(FrmCheck_m_aMGeneratorsKept, "FrmCheck.m_aMGeneratorsKept", "Generators kept at their values, since other tables or procedures draw keys from them too: %s", "s") \
    X(FrmCheck_m_aMIdentities, "FrmCheck.m_aMIdentities", "Identities restart after the copied keys: %s", "s") \
    X(FrmCheck_m_aMSourceEmpty, "FrmCheck.m_aMSourceEmpty", "The source table is empty: the destination keeps its rows", "") \
    X(FrmCheck_m_aMUnfinished, "FrmCheck.m_aMUnfinished", "A copy into this database ended before it finished this table: it may hold other rows than the source until it is copied again (--retry-failed copies it)", "") \
    X(FrmCheck_m_aMTriggersLeftOff, "FrmCheck.m_aMTriggersLeftOff", "The triggers of table %s were left inactive by an interrupted copy (%s); the next copy switches them on again.", "ss") \
    X(FrmCheck_m_aMRowsInLimbo, "FrmCheck.m_aMRowsInLimbo", "Rows of an interrupted copy of table %s wait in prepared transactions; the next copy into this database decides them.", "s") \
    X(FrmCheck_m_aMSomeValues, "FrmCheck.m_aMSomeValues", "some", "") \
    X(FrmCheck_m_aMChecking, "FrmCheck.m_aMChecking", "Checking the tables...", "") \
    X(FrmCopy_Caption, "FrmCopy.Caption", "Database copy process", "") \
    X(FrmCopy_m_BTNStop, "FrmCopy.m_BTNStop", "STOP", "") \
    X(FrmCopy_m_LISOutput, "FrmCopy.m_LISOutput", "Table name", "") \
    X(FrmCopy_m_acMAborted, "FrmCopy.m_acMAborted", "The copy was aborted by the user in table %s; its rows were rolled back.", "s") \
    X(FrmCopy_m_acMUnfinished, "FrmCopy.m_acMUnfinished", "A copy into this database ended before it finished these tables; they may hold other rows than the source until they are copied again: %s", "s") \
    X(FrmCopy_m_acMCopyFailed, "FrmCopy.m_acMCopyFailed", "%s copy failed.", "s") \
    X(FrmCopy_m_acMCopyFailed2, "FrmCopy.m_acMCopyFailed2", "Copy process failed", "d") \
    X(FrmCopy_m_acMCopySuccess, "FrmCopy.m_acMCopySuccess", "%s copy successful.", "s") \
    X(FrmCopy_m_acMVerifying, "FrmCopy.m_acMVerifying", "Verifying %s", "s") \
    X(FrmCopy_m_acMCurrentTable, "FrmCopy.m_acMCurrentTable", "Current table: %s (%d", "sd") \
    X(FrmCopy_m_acMDiskUse, "FrmCopy.m_acMDiskUse", "This run wrote %s to disk: source backup %s, destination's way back %s, logs %s", "ssss") \
    X(FrmCopy_m_acMServerBackup, "FrmCopy.m_acMServerBackup", "The server made the copy of %s as a backup file: %s (restore it with gbak -c)", "ss") \
    X(FrmCopy_m_acMPlainCopy, "FrmCopy.m_acMPlainCopy", "The engine refused to hold %s still for its copy, which is the file as it was: a program that wrote to it meanwhile can have left it torn: %s", "ss") \
    X(FrmCopy_m_acMStaleLockEnded, "FrmCopy.m_acMStaleLockEnded", "A copy that was killed left %s locked for its backup (stalled state); the lock is ended and its changes merged.", "s") \
    X(FrmCopy_m_acMDestKept, "FrmCopy.m_acMDestKept", "The destination database as it was before the copy is kept in %s", "s") \
    X(FrmCopy_m_acMTriggersLeftOff, "FrmCopy.m_acMTriggersLeftOff", "The triggers of table %s were left inactive: %s. The next copy into %s switches them on again; or switch them on yourself: %s", "ssss") \
    X(FrmCopy_m_acMError, "FrmCopy.m_acMError", "ERROR", "") \
    X(FrmCopy_m_acMLogsLost, "FrmCopy.m_acMLogsLost", "The copy went on, but its log files could not be written: %s", "s") \
    X(FrmCopy_m_acMNotRecorded, "FrmCopy.m_acMNotRecorded", "The tables that failed could not be recorded for a retry in %s.", "s") \
    X(FrmCopy_m_acMWarning, "FrmCopy.m_acMWarning", "WARNING", "") \
    X(FrmCopy_m_BTNAbort, "FrmCopy.m_BTNAbort", "Abort table now", "") \
    X(FrmCopy_m_acMRowsOf, "FrmCopy.m_acMRowsOf", "%s: %s of %s rows", "sss") \
    X(FrmCopy_m_acMRows, "FrmCopy.m_acMRows", "%s: %s rows", "ss") \
    X(FrmCopy_m_acMSpeed, "FrmCopy.m_acMSpeed", ", %s rows/s", "s") \
    X(FrmCopy_m_acMTimeLeft, "FrmCopy.m_acMTimeLeft", ", %s left", "s") \
    X(FrmCopy_m_acMThousands, "FrmCopy.m_acMThousands", ",", "") \
    X(FrmCopy_m_acMCounting, "FrmCopy.m_acMCounting", "Counting the source rows...", "") \
    X(FrmCopy_m_acMStopping, "FrmCopy.m_acMStopping", "%s - stopping after this table", "s") \
    X(FrmCopy_m_acMAborting, "FrmCopy.m_acMAborting", "Aborting %s: its rows are rolled back...", "s") \
    X(FrmCopy_m_acMStopped, "FrmCopy.m_acMStopped", "The copy was stopped by the user after table %s; %s table(s) were not started.", "ss") \
    X(FrmCopy_m_acMTableAborted, "FrmCopy.m_acMTableAborted", "%s aborted by the user; %s rows rolled back.", "ss") \
    X(FrmCopy_m_acMNotStarted, "FrmCopy.m_acMNotStarted", "Not started: %s", "s") \
    X(FrmCopy_m_acMFinished, "FrmCopy.m_acMFinished", "Finished: %s table(s) copied, %s failed, %s rows.", "sss") \
    X(FrmCopy_m_acMFailedTables, "FrmCopy.m_acMFailedTables", "Failed tables: %s", "s") \
    X(FrmDB_Caption, "FrmDB.Caption", "Select database", "") \
    X(FrmDB_CaptionDest, "FrmDB.CaptionDest", "Select destination database", "") \
    X(FrmDB_CaptionSource, "FrmDB.CaptionSource", "Select source database", "") \
    X(FrmDB_m_BTNBrowse, "FrmDB.m_BTNBrowse", "Browse", "") \
    X(FrmDB_m_BTNCancel, "FrmDB.m_BTNCancel", "Cancel", "") \
    X(FrmDB_m_BTNOk, "FrmDB.m_BTNOk", "OK", "") \
    X(FrmDB_m_BTNSQLEditor, "FrmDB.m_BTNSQLEditor", "SQL Editor", "") \
    X(FrmDB_m_LBLDBName, "FrmDB.m_LBLDBName", "Database", "") \
    X(FrmDB_m_LBLDBPass, "FrmDB.m_LBLDBPass", "Password", "") \
    X(FrmDB_m_LBLDBUser, "FrmDB.m_LBLDBUser", "User", "") \
    X(FrmDB_m_sMError, "FrmDB.m_sMError", "ERROR", "") \
    X(FrmDB_m_sMInvalidInput, "FrmDB.m_sMInvalidInput", "Missing input. Check database, user and password.", "") \
    X(FrmDB_m_sMOpenDialog, "FrmDB.m_sMOpenDialog", "Firebird/Interbase databases (*.fdb;*.gdb)|*.fdb*; *.gdb|Firebird databases (*.fdb)|*.fdb|Interbase databases (*.gdb)|*.gdb|All files (*.*)|*.*||", "") \
    X(FrmHelp_Caption, "FrmHelp.Caption", "Help", "") \
    X(FrmHelp_m_BTNOk, "FrmHelp.m_BTNOk", "OK", "") \
    X(FrmHelp_m_LBLHelp, "FrmHelp.m_LBLHelp", kEnglishManual, "") \
    X(FrmLanguage_Caption, "FrmLanguage.Caption", "Select language", "") \
    X(FrmLanguage_m_BTNCancel, "FrmLanguage.m_BTNCancel", "Cancel", "") \
    X(FrmLanguage_m_BTNOk, "FrmLanguage.m_BTNOk", "OK", "") \
    X(FrmLanguage_m_LBLCurrentLanguage, "FrmLanguage.m_LBLCurrentLanguage", "Current language:", "") \
    X(FrmMain_ID_MEN_CHECKUPDATE, "FrmMain.ID_MEN_CHECKUPDATE", "Check for update", "") \
    X(FrmMain_ID_MEN_CHECK, "FrmMain.ID_MEN_CHECK", "Check copy\tCtrl+K", "") \
    X(FrmMain_ID_MEN_COPY, "FrmMain.ID_MEN_COPY", "Copy database\tCtrl+C", "") \
    X(FrmMain_ID_MEN_DESTINATION, "FrmMain.ID_MEN_DESTINATION", "Select destination database\tCtrl+D", "") \
    X(FrmMain_ID_MEN_EXIT, "FrmMain.ID_MEN_EXIT", "Quit\tCtrl+Q", "") \
    X(FrmMain_ID_MEN_FILE, "FrmMain.ID_MEN_FILE", "File", "") \
    X(FrmMain_ID_MEN_GENERALLOG, "FrmMain.ID_MEN_GENERALLOG", "General log file", "") \
    X(FrmMain_ID_MEN_HELP, "FrmMain.ID_MEN_HELP", "Help\tF1", "") \
    X(FrmMain_ID_MEN_INFO, "FrmMain.ID_MEN_INFO", "Info", "") \
    X(FrmMain_ID_MEN_INVERTSELECTION, "FrmMain.ID_MEN_INVERTSELECTION", "Invert selection\tCtrl+I", "") \
    X(FrmMain_ID_MEN_LANGUAGE, "FrmMain.ID_MEN_LANGUAGE", "Language", "") \
    X(FrmMain_ID_MEN_LICENSE, "FrmMain.ID_MEN_LICENSE", "License", "") \
    X(FrmMain_ID_MEN_OPTIONS, "FrmMain.ID_MEN_OPTIONS", "Options", "") \
    X(FrmMain_ID_MEN_README, "FrmMain.ID_MEN_README", "Changes", "") \
    X(FrmMain_ID_MEN_REFRESH, "FrmMain.ID_MEN_REFRESH", "Refresh\tF5", "") \
    X(FrmMain_ID_MEN_SELECTALL, "FrmMain.ID_MEN_SELECTALL", "Select all\tCtrl+A", "") \
    X(FrmMain_ID_MEN_SOURCE, "FrmMain.ID_MEN_SOURCE", "Select source database\tCtrl+S", "") \
    X(FrmMain_ID_MEN_SQLEDITOR, "FrmMain.ID_MEN_SQLEDITOR", "SQL editor\tCtrl+E", "") \
    X(FrmMain_ID_MEN_SQLLOG, "FrmMain.ID_MEN_SQLLOG", "SQL log file", "") \
    X(FrmMain_ID_MEN_TABLES, "FrmMain.ID_MEN_TABLES", "Tables", "") \
    X(FrmMain_ID_MEN_TXTLOG, "FrmMain.ID_MEN_TXTLOG", "Text log file", "") \
    X(FrmMain_ID_MEN_VIEW, "FrmMain.ID_MEN_VIEW", "View", "") \
    X(FrmMain_m_BTNCheck, "FrmMain.m_BTNCheck", "Check", "") \
    X(FrmMain_m_BTNCopy, "FrmMain.m_BTNCopy", "Copy", "") \
    X(FrmMain_m_BTNDestDB, "FrmMain.m_BTNDestDB", "Select", "") \
    X(FrmMain_m_BTNDestDBHint, "FrmMain.m_BTNDestDBHint", "Browse destination database", "") \
    X(FrmMain_m_BTNRefresh, "FrmMain.m_BTNRefresh", "Refresh", "") \
    X(FrmMain_m_BTNRefreshHint, "FrmMain.m_BTNRefreshHint", "Refresh table list", "") \
    X(FrmMain_m_BTNSourceDB, "FrmMain.m_BTNSourceDB", "Select", "") \
    X(FrmMain_m_BTNSourceDBHint, "FrmMain.m_BTNSourceDBHint", "Browse source database", "") \
    X(FrmMain_m_CHKAllTables, "FrmMain.m_CHKAllTables", "All tables", "") \
    X(FrmMain_m_LBLDestDB, "FrmMain.m_LBLDestDB", "2. Select destination database", "") \
    X(FrmMain_m_LBLSourceDB, "FrmMain.m_LBLSourceDB", "1. Select source database", "") \
    X(FrmMain_m_LBLTables, "FrmMain.m_LBLTables", "3. Select tables to be copied", "") \
    X(FrmMain_m_LISSourceTables0, "FrmMain.m_LISSourceTables0", "Name", "") \
    X(FrmMain_m_LISSourceTables1, "FrmMain.m_LISSourceTables1", "Trigger(s)", "") \
    X(FrmMain_m_aMAttaching, "FrmMain.m_aMAttaching", "Attaching the databases...", "") \
    X(FrmMain_m_aMAmbiguousTable, "FrmMain.m_aMAmbiguousTable", "The name %s fits several tables (%s): write it as the table list shows it.", "ss") \
    X(FrmMain_m_aMNoSpace, "FrmMain.m_aMNoSpace", "Too little free space in %s for this run's copies and logs: %s needed, %s free. Nothing was written.", "sss") \
    X(FrmMain_m_aMNoBackupChosen, "FrmMain.m_aMNoBackupChosen", "This run makes no backup of the source database.", "") \
    X(FrmMain_m_aMNoWayBackChosen, "FrmMain.m_aMNoWayBackChosen", "This run keeps no copy of the destination database as it was before the copy: a failed table cannot be taken back from one.", "") \
    X(FrmMain_m_aMWayBackKept, "FrmMain.m_aMWayBackKept", "The copy of the destination database as it was before the copy goes to %s.", "s") \
    X(FrmMain_m_aMBackupMissing, "FrmMain.m_aMBackupMissing", "The backup of the source database could not be made: %s", "s") \
    X(FrmMain_m_aMBtnOk, "FrmMain.m_aMBtnOk", "OK", "") \
    X(FrmMain_m_aMCancel, "FrmMain.m_aMCancel", "Cancel", "") \
    X(FrmMain_m_aMDestCopyMissing, "FrmMain.m_aMDestCopyMissing", "No copy of the destination database as it was before the copy could be made: %s", "s") \
    X(FrmMain_m_aMKilledRunCopy, "FrmMain.m_aMKilledRunCopy", "A copy that was ended before it finished left the destination database as it was before that copy in %s; it is kept there. Remove it once it is no longer needed.", "s") \
    X(FrmCopy_m_acMCommittedFromLimbo, "FrmCopy.m_acMCommittedFromLimbo", "The rows of an interrupted copy of %s were committed from prepared transactions before this run: they are not verified and the generators were not set. Copy the table again; it is recorded for --retry-failed.", "s") \
    X(FrmMain_m_aMSettingsDamaged, "FrmMain.m_aMSettingsDamaged", "The settings file %s cannot be read (it is damaged or not in the program's format): nothing was copied. Repair it, or remove it to copy with the default settings.", "s") \
    X(FrmMain_m_aMJournalUnwritable, "FrmMain.m_aMJournalUnwritable", "The trigger journal %s cannot be written (no room, or no right to write): nothing was copied.", "s") \
    X(FrmMain_m_aMDestHeld, "FrmMain.m_aMDestHeld", "Another copy into this destination database is running (process %s). Start this one when it has ended.", "s") \
    X(FrmMain_m_aMError, "FrmMain.m_aMError", "ERROR", "") \
    X(FrmMain_m_aMErrorConnectDest, "FrmMain.m_aMErrorConnectDest", "Cannot attach destination database.", "") \
    X(FrmMain_m_aMErrorConnectSource, "FrmMain.m_aMErrorConnectSource", "Cannot attach source database.", "") \
    X(FrmMain_m_aMIdentical, "FrmMain.m_aMIdentical", "Source and destination database are identical!", "") \
    X(FrmMain_m_aMNoDest, "FrmMain.m_aMNoDest", "No destination database selected.", "") \
    X(FrmMain_m_aMNoSelection, "FrmMain.m_aMNoSelection", "No table(s) selected for copy process!", "") \
    X(FrmMain_m_aMNoSource, "FrmMain.m_aMNoSource", "No source database selected.", "") \
    X(FrmMain_m_aMNoTables, "FrmMain.m_aMNoTables", "No tables available, that exist in source and destination database!", "") \
    X(FrmMain_m_aMNothingToRetry, "FrmMain.m_aMNothingToRetry", "No tables that failed are recorded for the destination database %s: nothing to copy again.", "s") \
    X(FrmMain_m_aMOpenedDirectly, "FrmMain.m_aMOpenedDirectly", "No Firebird server answered at localhost; opened directly by the embedded engine: %s", "s") \
    X(FrmMain_m_aMPasswordMissing, "FrmMain.m_aMPasswordMissing", "Standard input holds no password for %s.", "s") \
    X(FrmMain_m_aMPasswordPrompt, "FrmMain.m_aMPasswordPrompt", "Password for %s: ", "s") \
    X(FrmMain_m_aMReportNotWritten, "FrmMain.m_aMReportNotWritten", "The report could not be written to %s: %s", "ss") \
    X(FrmMain_m_aMRetryTableGone, "FrmMain.m_aMRetryTableGone", "The table %s failed in the last run but is no longer present in both databases.", "s") \
    X(FrmMain_m_aMRetryTables, "FrmMain.m_aMRetryTables", "Copying again the tables that failed in the last run: %s", "s") \
    X(FrmMain_m_aMSelectAll, "FrmMain.m_aMSelectAll", "Select all", "") \
    X(FrmMain_m_aMSettingsNotSaved, "FrmMain.m_aMSettingsNotSaved", "The settings could not be saved to %s.", "s") \
    X(FrmMain_m_aMTriggersLeftOff, "FrmMain.m_aMTriggersLeftOff", "A copy that did not end left the triggers of these tables switched off: %s. Switch them on again now?", "s") \
    X(FrmMain_m_aMTriggersNotRestored, "FrmMain.m_aMTriggersNotRestored", "The triggers of these tables could not be switched on again: %s", "s") \
    X(FrmMain_m_aMUnknownTable, "FrmMain.m_aMUnknownTable", "No table %s exists in both the source and the destination database.", "s") \
    X(FrmMain_m_aMUnSelectAll, "FrmMain.m_aMUnSelectAll", "Unselect all", "") \
    X(FrmMain_m_aMConfirmCopy, "FrmMain.m_aMConfirmCopy", "The rows of %s table(s) in the destination database %s will be replaced by the rows of the source.", "ss") \
    X(FrmMain_m_aMConfirmNotCopied, "FrmMain.m_aMConfirmNotCopied", "Not copied, as the check found: %s", "s") \
    X(FrmMain_m_aMLastRun, "FrmMain.m_aMLastRun", "Last run: %s table(s) copied, %s failed, %s rows, %s", "ssss") \
    X(FrmMain_m_aMLastRunStopped, "FrmMain.m_aMLastRunStopped", ", stopped by the user", "") \
    X(FrmMain_m_aMLastRunAborted, "FrmMain.m_aMLastRunAborted", ", aborted by the user", "") \
    X(FrmMain_m_aMLastRunNotStarted, "FrmMain.m_aMLastRunNotStarted", ", not started: %s", "s") \
    X(FrmResults_Caption, "FrmResults.Caption", "Results of the last run", "") \
    X(FrmResults_m_LBLDest, "FrmResults.m_LBLDest", "Destination: %s", "s") \
    X(FrmResults_m_LISResults0, "FrmResults.m_LISResults0", "Table", "") \
    X(FrmResults_m_LISResults1, "FrmResults.m_LISResults1", "Outcome", "") \
    X(FrmResults_m_LISResults2, "FrmResults.m_LISResults2", "Rows", "") \
    X(FrmResults_m_LISResults3, "FrmResults.m_LISResults3", "Time", "") \
    X(FrmResults_m_LISResults4, "FrmResults.m_LISResults4", "Reason", "") \
    X(FrmResults_m_aMCopied, "FrmResults.m_aMCopied", "copied", "") \
    X(FrmResults_m_aMEmptySource, "FrmResults.m_aMEmptySource", "source empty, rows kept", "") \
    X(FrmResults_m_aMFailed, "FrmResults.m_aMFailed", "failed", "") \
    X(FrmResults_m_aMSkipped, "FrmResults.m_aMSkipped", "not attempted", "") \
    X(FrmResults_m_aMAborted, "FrmResults.m_aMAborted", "aborted by the user", "") \
    X(FrmResults_m_aMNotStarted, "FrmResults.m_aMNotStarted", "not started", "") \
    X(FrmResults_m_aMRowsFailed, "FrmResults.m_aMRowsFailed", "%s rows failed", "s") \
    X(FrmResults_m_aMRolledBack, "FrmResults.m_aMRolledBack", "%s rows rolled back", "s") \
    X(FrmResults_m_BTNClose, "FrmResults.m_BTNClose", "Close", "") \
    X(FrmResults_m_aMSqlLog, "FrmResults.m_aMSqlLog", "SQL log", "") \
    X(FrmResults_m_aMTextLog, "FrmResults.m_aMTextLog", "Data text log", "") \
    X(FrmMain_m_aMRunLog, "FrmMain.m_aMRunLog", "Run log", "") \
    X(FrmMain_m_aMResults, "FrmMain.m_aMResults", "Results", "") \
    X(FrmOpt_Caption, "FrmOpt.Caption", "Options", "") \
    X(FrmOpt_m_BTNCancel, "FrmOpt.m_BTNCancel", "Cancel", "") \
    X(FrmOpt_m_BTNOk, "FrmOpt.m_BTNOk", "OK", "") \
    X(FrmOpt_m_BTNRecentDBs, "FrmOpt.m_BTNRecentDBs", "Clear", "") \
    X(FrmOpt_m_CHKDoBackups, "FrmOpt.m_CHKDoBackups", "Create backup files", "") \
    X(FrmOpt_m_CHKWayBack, "FrmOpt.m_CHKWayBack", "Copy the destination before each run (way back)", "") \
    X(FrmOpt_m_LBLBackupDir, "FrmOpt.m_LBLBackupDir", "Folder for backups", "") \
    X(FrmOpt_m_LBLLogDir, "FrmOpt.m_LBLLogDir", "Folder for logs", "") \
    X(FrmOpt_m_aMFolderDefault, "FrmOpt.m_aMFolderDefault", "empty: the usual place", "") \
    X(FrmOpt_m_CHKDoLogs, "FrmOpt.m_CHKDoLogs", "Create log files", "") \
    X(FrmOpt_m_CHKExtendDBName, "FrmOpt.m_CHKExtendDBName", "Extend database names", "") \
    X(FrmOpt_m_CHKRecentDBs, "FrmOpt.m_CHKRecentDBs", "Remember recent databases", "") \
    X(FrmOpt_m_CHKVerify, "FrmOpt.m_CHKVerify", "Verify copied rows", "") \
    X(FrmOpt_m_CHKAskBeforeCopy, "FrmOpt.m_CHKAskBeforeCopy", "Ask before copying", "") \
    X(FrmOpt_m_LBLDefPass, "FrmOpt.m_LBLDefPass", "Default database password", "") \
    X(FrmOpt_m_LBLDefUser, "FrmOpt.m_LBLDefUser", "Default database user", "") \
    X(FrmOpt_m_LBLFont, "FrmOpt.m_LBLFont", "Font", "") \
    X(FrmOpt_m_LBLRetries, "FrmOpt.m_LBLRetries", "Connection retries", "") \
    X(FrmOpt_m_LBLSourceCharset, "FrmOpt.m_LBLSourceCharset", "Code page of source text without character set", "") \
    X(FrmSQL_ID_MENSQL_DB, "FrmSQL.ID_MENSQL_DB", "Database", "") \
    X(FrmSQL_ID_MENSQL_DELETE, "FrmSQL.ID_MENSQL_DELETE", "Delete record\tCtrl+D", "") \
    X(FrmSQL_ID_MENSQL_DELETETABLE, "FrmSQL.ID_MENSQL_DELETETABLE", "Delete table", "") \
    X(FrmSQL_ID_MENSQL_EDIT, "FrmSQL.ID_MENSQL_EDIT", "Edit", "") \
    X(FrmSQL_ID_MENSQL_EXIT, "FrmSQL.ID_MENSQL_EXIT", "Quit\tCtrl+Q", "") \
    X(FrmSQL_ID_MENSQL_EXPORT, "FrmSQL.ID_MENSQL_EXPORT", "Export results", "") \
    X(FrmSQL_ID_MENSQL_FILE, "FrmSQL.ID_MENSQL_FILE", "File", "") \
    X(FrmSQL_ID_MENSQL_HELP, "FrmSQL.ID_MENSQL_HELP", "Help", "") \
    X(FrmSQL_ID_MENSQL_INSERT, "FrmSQL.ID_MENSQL_INSERT", "Insert record\tCtrl+I", "") \
    X(FrmSQL_ID_MENSQL_INSERTTABLE, "FrmSQL.ID_MENSQL_INSERTTABLE", "Insert table", "") \
    X(FrmSQL_ID_MENSQL_MODIFY, "FrmSQL.ID_MENSQL_MODIFY", "Modify record\tCtrl+M", "") \
    X(FrmSQL_ID_MENSQL_OPEN, "FrmSQL.ID_MENSQL_OPEN", "Open SQL statement\tCtrl+O", "") \
    X(FrmSQL_ID_MENSQL_REFRESHTABLES, "FrmSQL.ID_MENSQL_REFRESHTABLES", "Refresh tables", "") \
    X(FrmSQL_ID_MENSQL_SAVE, "FrmSQL.ID_MENSQL_SAVE", "Save SQL statement\tCtrl+S", "") \
    X(FrmSQL_ID_MENSQL_SELECT, "FrmSQL.ID_MENSQL_SELECT", "Select", "") \
    X(FrmSQL_ID_MENSQL_SYSTEMTABLE, "FrmSQL.ID_MENSQL_SYSTEMTABLE", "Show system table", "") \
    X(FrmSQL_m_BTNCancel, "FrmSQL.m_BTNCancel", "Cancel", "") \
    X(FrmSQL_m_BTNExecute, "FrmSQL.m_BTNExecute", "Execute", "") \
    X(FrmSQL_m_BTNFetchAll, "FrmSQL.m_BTNFetchAll", "Fetch all", "") \
    X(FrmSQL_m_BTNOk, "FrmSQL.m_BTNOk", "OK", "") \
    X(FrmSQL_m_CHKMultiline, "FrmSQL.m_CHKMultiline", "Multiline", "") \
    X(FrmSQL_m_LBLResult, "FrmSQL.m_LBLResult", "SQL result-data:", "") \
    X(FrmSQL_m_LBLStatement, "FrmSQL.m_LBLStatement", "SQL statement:", "") \
    X(FrmSQL_m_LBLTables, "FrmSQL.m_LBLTables", "Available tables:", "") \
    X(FrmSQL_m_LISTables, "FrmSQL.m_LISTables", "Table name", "") \
    X(FrmSQL_m_acMConnectionFailed, "FrmSQL.m_acMConnectionFailed", "Failed to attach database!", "") \
    X(FrmSQL_m_acMError, "FrmSQL.m_acMError", "ERROR", "") \
    X(FrmSQL_m_acMStatementFailed, "FrmSQL.m_acMStatementFailed", "Statement failed!", "") \
    X(FrmSQL_m_sMAttaching, "FrmSQL.m_sMAttaching", "Attaching %s ...", "s") \
    X(FrmSQL_m_sMCSVFile, "FrmSQL.m_sMCSVFile", "CSV file (*.csv)|*.csv||", "") \
    X(FrmSQL_m_sMCancelled, "FrmSQL.m_sMCancelled", "Statement cancelled.", "") \
    X(FrmSQL_m_sMDone, "FrmSQL.m_sMDone", "Statement executed.", "") \
    X(FrmSQL_m_sMEmptyLine, "FrmSQL.m_sMEmptyLine", "Stopped at an empty line: the lines after it were not executed.", "") \
    X(FrmSQL_m_sMExecuting, "FrmSQL.m_sMExecuting", "Executing... %s s", "s") \
    X(FrmSQL_m_sMExportFailed, "FrmSQL.m_sMExportFailed", "The results could not be written to %s.", "s") \
    X(FrmSQL_m_sMExported, "FrmSQL.m_sMExported", "All %s rows of the result were exported.", "s") \
    X(FrmSQL_m_sMExporting, "FrmSQL.m_sMExporting", "Exporting... %s rows written", "s") \
    X(FrmSQL_m_sMFetching, "FrmSQL.m_sMFetching", "Fetching rows... %s s", "s") \
    X(FrmSQL_m_sMFetchingRows, "FrmSQL.m_sMFetchingRows", "Fetching rows... %s rows fetched, %s s", "ss") \
    X(FrmSQL_m_sMNotAttached, "FrmSQL.m_sMNotAttached", "No database is attached. Select one now?", "") \
    X(FrmSQL_m_sMNull, "FrmSQL.m_sMNull", "<null>", "") \
    X(FrmSQL_m_sMPartial, "FrmSQL.m_sMPartial", "The statements cover the selected rows of the %s rows loaded; rows not loaded yet are not among them.", "s") \
    X(FrmSQL_m_sMRowsAll, "FrmSQL.m_sMRowsAll", "%s rows", "s") \
    X(FrmSQL_m_sMRowsMore, "FrmSQL.m_sMRowsMore", "%s rows shown; more follow when you scroll to the end or press Fetch all", "s") \
    X(FrmSQL_m_sMSaveFailed, "FrmSQL.m_sMSaveFailed", "The script could not be saved to %s.", "s") \
    X(FrmSQL_m_sMSqlScript, "FrmSQL.m_sMSqlScript", "SQL script (*.sql)|*.sql||", "") \
    X(FrmText_m_sMLastPart, "FrmText.m_sMLastPart", "This file is %d MB long; only its last part is shown.", "d")
// clang-format on

enum class ELanguageText : int
{
#define ROWMOVER_LANGUAGE_ENUM(id, key, english, arguments) id,
    ROWMOVER_LANGUAGE_TEXTS(ROWMOVER_LANGUAGE_ENUM)
#undef ROWMOVER_LANGUAGE_ENUM
};

struct SLanguageText
{
    const char* pszKey;
    const char* pszEnglish;
    const char* pszArguments;
};

inline constexpr std::size_t kLanguageTextCount = 0
#define ROWMOVER_LANGUAGE_COUNT(id, key, english, arguments) +1
    ROWMOVER_LANGUAGE_TEXTS(ROWMOVER_LANGUAGE_COUNT)
#undef ROWMOVER_LANGUAGE_COUNT
    ;

// All texts in the order of the list above.
const std::array<SLanguageText, kLanguageTextCount>& LanguageTexts();
const SLanguageText& LanguageText(ELanguageText id);
// The entry of key, nullptr when key is none of the program's keys.
const SLanguageText* FindLanguageText(std::string_view key);

// The printf conversions of text, one letter each: "s" for %s, "d" for the
// integer conversions (d i u x X), "?" for any other conversion or a
// malformed one; "%%" is skipped.
std::string FormatSignature(std::string_view text);
// True when text can be formatted with the arguments of signature: its
// conversions are the first ones of signature, in order.
bool FitsArguments(std::string_view text, std::string_view signature);
