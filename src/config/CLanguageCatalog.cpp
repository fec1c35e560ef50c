#include "config/CLanguageCatalog.h"

#include "core/TextEncoding.h"

CLanguageCatalog::CLanguageCatalog() : m_file(false) {}

void CLanguageCatalog::Open(const std::u16string& languageFilePath)
{
    m_file = CProfileFile(false);
    if (!languageFilePath.empty())
        m_file.Load(languageFilePath);
}

std::u16string CLanguageCatalog::GetText(const std::string& key, const std::string& englishDefault)
{
    std::string text = m_file.GetString(key, englishDefault);
    // Texts are used as printf formats: a translation asking for arguments the
    // program does not pass would read past them.
    if (text != englishDefault)
    {
        const SLanguageText* known = FindLanguageText(key);
        const std::string arguments = known != nullptr ? known->pszArguments : FormatSignature(englishDefault);
        if (!FitsArguments(text, arguments))
            text = englishDefault;
    }
    return Utf8ToWide(text);
}

std::u16string CLanguageCatalog::GetText(ELanguageText id)
{
    const SLanguageText& text = LanguageText(id);
    return GetText(text.pszKey, text.pszEnglish);
}

bool ResolveLanguageFile(const std::u16string& installationFolder, const std::u16string& wantedName,
                         std::u16string& languageFile, std::u16string& languageName, const TApplyTexts& applyTexts)
{
    languageFile.clear();
    if (applyTexts)
        applyTexts(languageFile);

    CProfileFile list(false);
    if (!list.Load(installationFolder + u"Languages.ini"))
    {
        if (applyTexts)
            applyTexts(languageFile);
        return false;
    }

    std::string wanted = WideToUtf8(wantedName);
    if (wanted.empty())
        wanted = list.GetString("LanguageDefault", "");

    bool matched = false;
    std::string name = list.GetString("LanguageName", "");
    std::string file = list.GetString("LanguageFile", "");
    while (!name.empty() && !file.empty())
    {
        // The whole list is walked: of several pairs with the wanted name the
        // last one counts.
        if (name == wanted)
        {
            languageFile = installationFolder + Utf8ToWide(file);
            if (applyTexts)
                applyTexts(languageFile);
            languageName = Utf8ToWide(wanted);
            matched = true;
        }
        name = list.GetNextString("LanguageName");
        file = list.GetNextString("LanguageFile");
    }
    return matched;
}
