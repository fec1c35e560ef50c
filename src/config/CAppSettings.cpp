#include "config/CAppSettings.h"

#include "core/TextEncoding.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace
{
// "left;top;right;bottom".
std::string WindowRectText(const SWindowRect& rect)
{
    return std::to_string(rect.left) + ";" + std::to_string(rect.top) + ";" + std::to_string(rect.right) + ";" +
           std::to_string(rect.bottom);
}

std::string RecentKey(int row)
{
    return "RecentDB" + std::to_string(row);
}

// One "%d" of sscanf, without its undefined behaviour on overflow.
bool ReadNumber(const std::string& text, std::size_t& pos, int& value)
{
    const char* start = text.c_str() + pos;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(start, &end, 10);
    if (end == start)
        return false;
    pos += static_cast<std::size_t>(end - start);
    value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    return true;
}
} // namespace

int ParseWindowRect(const std::string& text, SWindowRect& rect)
{
    int* const fields[] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
    std::size_t pos = 0;
    int read = 0;
    for (int* field : fields)
    {
        if (read > 0)
        {
            if (pos >= text.size() || text[pos] != ';')
                break;
            ++pos;
        }
        if (!ReadNumber(text, pos, *field))
            break;
        ++read;
    }
    return read;
}

CAppSettings::CAppSettings()
{
    m_RecentDBs.SetSize(2, kRecentCount + 1);
}

void CAppSettings::LoadSettings(const std::u16string& settingsFilePath)
{
    CProfileFile file(true);
    file.Load(settingsFilePath);
    LoadFrom(file);
}

bool CAppSettings::LoadSettings(const std::string& settingsFilePath)
{
    CProfileFile file(true);
    const bool read = file.Load(settingsFilePath);
    LoadFrom(file);
    return read;
}

void CAppSettings::LoadFrom(CProfileFile& file)
{
    // Presets before reading; the getters' defaults below are what a missing
    // key gives (so a missing "Retries" is 10, not this 1).
    m_bDoBackups = true;
    m_bDoLogs = true;
    m_nRetries = 1;
    m_sDefUser = u"SYSDBA";
    m_sDefPass = u"velvetoak";
    m_sLastLog.clear();
    m_sLastTxtLog.clear();
    m_sLastSqlLog.clear();
    m_bRecentDBs = true;
    m_RecentDBs.SetSize(2, kRecentCount + 1);

    m_bDoBackups = file.GetBool("DoBackups", true);
    m_bDoLogs = file.GetBool("DoLogs", true);
    m_nRetries = file.GetInt("Retries", 10);
    m_sDefUser = Utf8ToWide(file.GetString("DefUser", "SYSDBA"));
    m_sDefPass = Utf8ToWide(file.GetString("DefPass", "velvetoak"));
    m_sLastLog = Utf8ToWide(file.GetString("LastLog", ""));
    m_sLastTxtLog = Utf8ToWide(file.GetString("LastTxtLog", ""));
    m_sLastSqlLog = Utf8ToWide(file.GetString("LastSqlLog", ""));
    m_bRecentDBs = file.GetBool("RecentDBs", true);
    m_bExtendDBName = file.GetBool("ExtendDBName", true);
    m_sSourceCharset = Utf8ToWide(file.GetString("SourceCharset", ""));
    m_bVerify = file.GetBool("VerifyCopies", true);
    m_bAskBeforeCopy = file.GetBool("AskBeforeCopy", true);
    m_bDoWayBack = file.GetBool("DoWayBack", true);
    m_sBackupDir = Utf8ToWide(file.GetString("BackupDir", ""));
    m_sLogDir = Utf8ToWide(file.GetString("LogDir", ""));

    for (int row = 0; row < kRecentCount; ++row)
        m_RecentDBs.SetCell(0, row, file.GetString(RecentKey(row), ""));

    IFontSettings& font = Font();
    font.SetUseBuildInFont(file.GetBool("UseBuildInFont", false));
    font.Build();
    font.SetUseFontSettings(file.GetBool("UseFontSettings", true));
    font.SetUseFontHeight(file.GetBool("UseFontHeight", false));
    if (font.GetUseFontSettings())
    {
        font.SetFaceName(Utf8ToWide(file.GetString("FontDefName", WideToUtf8(font.GetFaceName()))));
        // The platform field is one byte; a stored number is taken modulo 256 as
        // the platform would.
        font.SetCharset(static_cast<std::uint8_t>(file.GetInt("FontDefCharset", font.GetCharset())));
        font.SetHeight(file.GetInt("FontDefHeight", font.GetHeight()));
        font.SetPitchAndFamily(static_cast<std::uint8_t>(file.GetInt("FontDefPitch", font.GetPitchAndFamily())));
    }
    font.ApplyToOwner(true);

    const std::string windowPosition = file.GetString("WinPos_SQLEditor", "");
    if (!windowPosition.empty())
        ParseWindowRect(windowPosition, m_rcSQLEditor);
    const std::string mainPosition = file.GetString("WinPos_Main", "");
    if (!mainPosition.empty())
        ParseWindowRect(mainPosition, m_rcMain);
    m_sWindowSizes = file.GetString("WinSizes", "");

    const std::string languageName = file.GetString("LanguageName", "");
    m_bLanguageUnset = true;
    if (!languageName.empty())
    {
        m_bLanguageUnset = false;
        ResolveLanguageFile(m_sHomeBase, Utf8ToWide(languageName), m_sLanguageFile, m_sLanguageName, m_applyTexts);
    }
}

bool CAppSettings::SaveSettings(const std::u16string& settingsFilePath, std::string* error)
{
    CProfileFile file(true);
    // It holds the default password and the recent databases.
    file.SetOwnerOnly(true);
    SaveTo(file);
    const bool saved = file.Save(settingsFilePath);
    if (!saved && error)
        *error = file.SaveError();
    return saved;
}

bool CAppSettings::SaveSettings(const std::string& settingsFilePath, std::string* error)
{
    return SaveSettings(Utf8ToWide(settingsFilePath), error);
}

void CAppSettings::SaveTo(CProfileFile& file)
{
    file.WriteBool("DoBackups", m_bDoBackups);
    file.WriteBool("DoLogs", m_bDoLogs);
    file.WriteInt("Retries", m_nRetries);
    file.WriteString("DefUser", WideToUtf8(m_sDefUser));
    file.WriteString("DefPass", WideToUtf8(m_sDefPass));
    file.WriteString("LastLog", WideToUtf8(m_sLastLog));
    file.WriteString("LastTxtLog", WideToUtf8(m_sLastTxtLog));
    file.WriteString("LastSqlLog", WideToUtf8(m_sLastSqlLog));
    file.WriteBool("RecentDBs", m_bRecentDBs);
    file.WriteBool("ExtendDBName", m_bExtendDBName);
    file.WriteString("SourceCharset", WideToUtf8(m_sSourceCharset));
    file.WriteBool("VerifyCopies", m_bVerify);
    file.WriteBool("AskBeforeCopy", m_bAskBeforeCopy);
    file.WriteBool("DoWayBack", m_bDoWayBack);
    file.WriteString("BackupDir", WideToUtf8(m_sBackupDir));
    file.WriteString("LogDir", WideToUtf8(m_sLogDir));

    for (int row = 0; row < kRecentCount; ++row)
    {
        const std::string database = m_RecentDBs.GetCell(0, row);
        if (!database.empty())
            file.WriteString(RecentKey(row), database);
    }

    IFontSettings& font = Font();
    file.WriteBool("UseBuildInFont", font.GetUseBuildInFont());
    file.WriteBool("UseFontSettings", font.GetUseFontSettings());
    file.WriteBool("UseFontHeight", font.GetUseFontHeight());
    file.WriteString("FontDefName", WideToUtf8(font.GetFaceName()));
    file.WriteInt("FontDefCharset", font.GetCharset());
    file.WriteInt("FontDefHeight", font.GetHeight());
    file.WriteInt("FontDefPitch", font.GetPitchAndFamily());

    file.WriteString("WinPos_SQLEditor", WindowRectText(m_rcSQLEditor));
    file.WriteString("WinPos_Main", WindowRectText(m_rcMain));
    file.WriteString("WinSizes", m_sWindowSizes);
    file.WriteString("LanguageName", m_bLanguageUnset ? std::string() : WideToUtf8(m_sLanguageName));
    file.WriteString("FolderHomeBase", WideToUtf8(m_sHomeBase));
    file.WriteString("FolderAppDir", WideToUtf8(m_sAppDir));
}
