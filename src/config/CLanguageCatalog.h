#pragma once

#include "config/CProfileFile.h"
#include "config/LanguageTexts.h"

#include <functional>
#include <string>

// Looks up the user-interface texts of one language file, each with its
// built-in English text as the fallback. A dialog builds one while it sets
// its texts and drops it afterwards.
class CLanguageCatalog
{
  public:
    CLanguageCatalog();

    // Reads the language file; an empty path (English), a missing or an empty
    // file leave every lookup at its English text.
    void Open(const std::u16string& languageFilePath);

    // The translation of key, or englishDefault when the file lacks the key,
    // holds it empty, or holds a text whose printf conversions the program's
    // arguments for that key cannot feed.
    std::u16string GetText(const std::string& key, const std::string& englishDefault);
    // GetText with the key and English text of the program's text table.
    std::u16string GetText(ELanguageText id);

  private:
    CProfileFile m_file;
};

// Called with a language file path (empty for English) each time the main
// window's texts are to be taken from it.
using TApplyTexts = std::function<void(const std::u16string& languageFilePath)>;

// Finds the language file of wantedName in "Languages.ini" of
// installationFolder (which ends with a separator); an empty wantedName
// means the list's "LanguageDefault". languageFile becomes the file's full
// path, or empty for the built-in English; languageName becomes wantedName
// only when a listed language matched, and is left alone otherwise. Returns
// whether a listed language matched.
bool ResolveLanguageFile(const std::u16string& installationFolder, const std::u16string& wantedName,
                         std::u16string& languageFile, std::u16string& languageName,
                         const TApplyTexts& applyTexts = {});
