#include "cli/LeftBehindText.h"

#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "db/SqlText.h"

std::vector<std::string> LeftBehindTexts(const SLeftBehind& left, CLanguageCatalog& catalog)
{
    std::vector<std::string> texts;
    for (const CTriggerJournal::SEntry& entry : left.triggersLeftOff)
        texts.push_back(FormatText(catalog.GetText(ELanguageText::FrmCheck_m_aMTriggersLeftOff),
                                   std::vector<std::string>{entry.table, Joined(entry.triggers, ", ")}));
    for (const std::string& table : left.rowsInLimbo)
        texts.push_back(FormatText(catalog.GetText(ELanguageText::FrmCheck_m_aMRowsInLimbo), table));
    return texts;
}

std::vector<std::string> KilledRunCopyTexts(const std::vector<std::string>& copies, CLanguageCatalog& catalog)
{
    std::vector<std::string> texts;
    for (const std::string& copy : copies)
        texts.push_back(FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMKilledRunCopy), copy));
    return texts;
}
