#pragma once

#include "config/CLanguageCatalog.h"
#include "config/IFontSettings.h"
#include "core/CStringGrid.h"

#include <string>

// A window rectangle as left, top, right, bottom.
struct SWindowRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Reads "%d;%d;%d;%d" into left, top, right and bottom in that order and
// stops at the first number that is missing or malformed, leaving it and the
// ones after it unchanged. Numbers beyond the range of int saturate. Returns
// how many were read.
int ParseWindowRect(const std::string& text, SWindowRect& rect);

// The values kept from one run of the program to the next, stored in the
// XML-mode settings file "Rowmover.ini".
class CAppSettings
{
  public:
    static constexpr int kRecentCount = 25;

    CAppSettings();

    // Fills the record from the file; a missing or unreadable file gives the
    // defaults. Applies the font to its owner and, when the file names a
    // language, resolves it in m_sHomeBase and applies its texts.
    void LoadSettings(const std::u16string& settingsFilePath);
    // False when the file could not be read or parsed (the defaults stand).
    bool LoadSettings(const std::string& settingsFilePath);
    // Writes the whole file; a file that cannot be written stays as it was.
    // False, with the system's reason in error when given, when the file
    // could not be written; the old file is then kept.
    bool SaveSettings(const std::u16string& settingsFilePath, std::string* error = nullptr);
    bool SaveSettings(const std::string& settingsFilePath, std::string* error = nullptr);

    // The shared font object; a window-less stand-in until one is attached.
    IFontSettings& Font() { return m_pFont != nullptr ? *m_pFont : m_storedFont; }
    void AttachFont(IFontSettings* font) { m_pFont = font; }
    // Called with the language file path when the stored language is resolved.
    void SetApplyTexts(TApplyTexts applyTexts) { m_applyTexts = std::move(applyTexts); }

    bool m_bDoBackups = true;
    bool m_bDoLogs = true;
    int m_nRetries = 10;
    std::u16string m_sDefUser = u"SYSDBA";
    std::u16string m_sDefPass = u"velvetoak";
    std::u16string m_sLastLog;
    std::u16string m_sLastTxtLog;
    std::u16string m_sLastSqlLog;
    bool m_bRecentDBs = true;
    bool m_bExtendDBName = true;
    // The code page of the source's CHARACTER SET NONE text (a Firebird
    // character set name such as WIN1252); empty copies the bytes as they are.
    std::u16string m_sSourceCharset;
    // Each copied table is read back and compared with the source.
    bool m_bVerify = true;
    // A copy that replaces rows asks first (never when unattended).
    bool m_bAskBeforeCopy = true;
    // The destination is copied before each run (its way back).
    bool m_bDoWayBack = true;
    // Where backups and logs go; empty for the usual places.
    std::u16string m_sBackupDir;
    std::u16string m_sLogDir;
    // Column 0 of rows 0 to 24: the recent databases. Row 25 is scratch space
    // of the database selection and is neither loaded nor saved.
    CStringGrid m_RecentDBs;
    SWindowRect m_rcSQLEditor;
    // The main window's place and size as the SQL editor's: 0, 0, -1, -1
    // for maximised, all 0 for the size the window asks for.
    SWindowRect m_rcMain;
    // The sizes the user gave the other windows ("Name=WxH;..."), kept as
    // the window layer writes them.
    std::string m_sWindowSizes;
    std::u16string m_sLanguageName;
    // True while no language came from the file and none was picked since.
    bool m_bLanguageUnset = true;
    // The current language file, empty for English; not stored.
    std::u16string m_sLanguageFile;
    std::u16string m_sHomeBase;
    std::u16string m_sAppDir;

  private:
    void LoadFrom(CProfileFile& file);
    void SaveTo(CProfileFile& file);

    IFontSettings* m_pFont = nullptr;
    CStoredFontSettings m_storedFont;
    TApplyTexts m_applyTexts;
};
