#include "cli/RunMessageText.h"

#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"

namespace
{
ELanguageText TextOf(ERunMessage what)
{
    switch (what)
    {
    case ERunMessage::DestinationHeld: return ELanguageText::FrmMain_m_aMDestHeld;
    case ERunMessage::JournalUnwritable: return ELanguageText::FrmMain_m_aMJournalUnwritable;
    case ERunMessage::Stopped: return ELanguageText::FrmCopy_m_acMStopped;
    case ERunMessage::Aborted: return ELanguageText::FrmCopy_m_acMAborted;
    case ERunMessage::NotStarted: return ELanguageText::FrmCopy_m_acMNotStarted;
    case ERunMessage::UnfinishedByKilledRun: return ELanguageText::FrmCopy_m_acMUnfinished;
    case ERunMessage::TablesFailed: return ELanguageText::FrmCopy_m_acMCopyFailed2;
    case ERunMessage::DestinationCopyKept: return ELanguageText::FrmCopy_m_acMDestKept;
    case ERunMessage::LogsLost: return ELanguageText::FrmCopy_m_acMLogsLost;
    case ERunMessage::CommittedFromLimbo: return ELanguageText::FrmCopy_m_acMCommittedFromLimbo;
    case ERunMessage::TriggersLeftOff: return ELanguageText::FrmCopy_m_acMTriggersLeftOff;
    case ERunMessage::FailuresNotRecorded: return ELanguageText::FrmCopy_m_acMNotRecorded;
    }
    return ELanguageText::FrmCopy_m_acMCopyFailed2;
}
} // namespace

std::string RunMessageText(const SRunMessage& message, CLanguageCatalog& catalog)
{
    const std::u16string& text = catalog.GetText(TextOf(message.what));
    // The count of failed tables is the one number ("%d") among them.
    if (message.what == ERunMessage::TablesFailed && !message.arguments.empty())
        return FormatText(text, std::stoi(message.arguments.front()));
    return FormatText(text, message.arguments);
}
