#include "cli/WayBackText.h"

#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "copy/prepare/DatabaseCopy.h"
#include "copy/run/CCopyEngine.h"
#include "core/TextEncoding.h"

std::string SpaceShortageText(const CCopyEngine& engine, CLanguageCatalog& catalog)
{
    std::string text;
    for (const SSpaceShortage& shortage : engine.Preparation().SpaceShortages())
    {
        if (!text.empty())
            text += "\n";
        text += FormatText(
            catalog.GetText(ELanguageText::FrmMain_m_aMNoSpace),
            std::vector<std::string>{shortage.folder, ByteText(shortage.needed), ByteText(shortage.available)});
    }
    return text;
}

std::vector<std::string> PreparedCopiesTexts(const CCopyEngine& engine, bool makeBackup, CLanguageCatalog& catalog)
{
    std::vector<std::string> texts;
    const SRunSettings& settings = engine.Settings();
    for (const std::string& database : engine.Preparation().StaleLocksEnded())
        texts.push_back(FormatText(catalog.GetText(ELanguageText::FrmCopy_m_acMStaleLockEnded), database));
    // The reason of the copy that failed: the server's refusal, a full disk.
    const auto withReason = [](std::string text, const std::string& reason) {
        if (!reason.empty())
            text += "\n" + reason;
        return text;
    };
    // How a copy that was made came about, where the user should know it.
    const auto sayHowMade = [&](ECopyKind kind, const std::string& database, const std::string& file,
                                const std::string& reason) {
        const std::vector<std::string> values{database, file};
        if (kind == ECopyKind::ServerBackup)
            texts.push_back(FormatText(catalog.GetText(ELanguageText::FrmCopy_m_acMServerBackup), values));
        else if (kind == ECopyKind::PlainFile)
            texts.push_back(
                withReason(FormatText(catalog.GetText(ELanguageText::FrmCopy_m_acMPlainCopy), values), reason));
    };
    if (!makeBackup)
        texts.push_back(WideToUtf8(catalog.GetText(ELanguageText::FrmMain_m_aMNoBackupChosen)));
    else if (!engine.Preparation().BackupMade())
        texts.push_back(withReason(
            FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMBackupMissing), settings.files.sourceBackup),
            engine.Preparation().SourceCopyError()));
    else
        sayHowMade(engine.Preparation().SourceCopyKind(), settings.source.database, settings.files.sourceBackup,
                   engine.Preparation().SourceCopyError());
    if (!settings.places.wayBack)
        texts.push_back(WideToUtf8(catalog.GetText(ELanguageText::FrmMain_m_aMNoWayBackChosen)));
    else if (!engine.Preparation().DestinationCopyMade())
        texts.push_back(withReason(
            FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMDestCopyMissing), settings.files.destinationCopy),
            engine.Preparation().DestinationCopyError()));
    else
        sayHowMade(engine.Preparation().DestinationCopyKind(), settings.dest.database, settings.files.destinationCopy,
                   engine.Preparation().DestinationCopyError());
    return texts;
}

std::string DiskUseText(const CCopyEngine& engine, CLanguageCatalog& catalog)
{
    const CRunPreparation::SDiskUse use = engine.Preparation().DiskUse();
    return FormatText(catalog.GetText(ELanguageText::FrmCopy_m_acMDiskUse),
                      std::vector<std::string>{ByteText(use.backup + use.wayBack + use.logs), ByteText(use.backup),
                                               ByteText(use.wayBack), ByteText(use.logs)});
}
