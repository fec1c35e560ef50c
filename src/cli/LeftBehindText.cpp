#include "cli/LeftBehindText.h"

#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "db/SqlText.h"

std::vector<std::string> TriggersLeftOffTexts(const std::vector<CTriggerJournal::SEntry>& entries,
                                              const std::string& destination, CLanguageCatalog& catalog)
{
    std::vector<std::string> texts;
    for (const CTriggerJournal::SEntry& entry : entries)
    {
        std::string statements;
        for (const std::string& trigger : entry.triggers)
            statements += (statements.empty() ? "" : " ") + ("ALTER TRIGGER " + SqlIdentifier(trigger) + " ACTIVE;");
        texts.push_back(
            FormatText(catalog.GetText(ELanguageText::FrmCopy_m_acMTriggersLeftOff),
                       std::vector<std::string>{entry.table, Joined(entry.triggers, ", "), destination, statements}));
    }
    return texts;
}

std::vector<std::string> KilledRunCopyTexts(const std::vector<std::string>& copies, CLanguageCatalog& catalog)
{
    std::vector<std::string> texts;
    for (const std::string& copy : copies)
        texts.push_back(FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMKilledRunCopy), copy));
    return texts;
}
