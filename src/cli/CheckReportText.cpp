#include "cli/CheckReportText.h"

#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "core/NumberText.h"
#include "core/TextEncoding.h"

#include <cmath>

namespace
{
using EKind = SCheckFinding::EKind;
using T = ELanguageText;

// A count as the progress window shows it, grouped with the language's separator.
std::string Count(long long count, CLanguageCatalog& catalog)
{
    return GroupedNumber(count, WideToUtf8(catalog.GetText(T::FrmCopy_m_acMThousands)));
}

std::string Rows(long long rows, CLanguageCatalog& catalog)
{
    return rows < 0 ? FormatText(catalog.GetText(T::FrmCheck_m_aMSomeValues), std::string()) : Count(rows, catalog);
}

} // namespace

std::string FindingText(const SCheckFinding& finding, CLanguageCatalog& catalog)
{
    const auto text = [&](T id, std::initializer_list<std::string> values) {
        return FormatText(catalog.GetText(id), std::vector<std::string>(values));
    };
    const std::string rows = Rows(finding.rows, catalog);
    switch (finding.kind)
    {
    case EKind::DroppedData: return text(T::FrmCheck_m_aMDropped, {finding.column, rows});
    case EKind::ComputedData: return text(T::FrmCheck_m_aMComputed, {finding.column, rows});
    case EKind::TooLong: return text(T::FrmCheck_m_aMTooLong, {finding.column, rows, finding.detail});
    case EKind::OutOfRange: return text(T::FrmCheck_m_aMOutOfRange, {finding.column, rows, finding.detail});
    case EKind::BeyondPrecision: return text(T::FrmCheck_m_aMBeyondPrecision, {finding.column, rows, finding.detail});
    case EKind::Rounded: return text(T::FrmCheck_m_aMRounded, {finding.column, rows, finding.detail});
    case EKind::TimeDropped: return text(T::FrmCheck_m_aMTimeDropped, {finding.column, rows});
    case EKind::DateDropped: return text(T::FrmCheck_m_aMDateDropped, {finding.column, rows});
    case EKind::CopyDate: return text(T::FrmCheck_m_aMCopyDate, {finding.column, rows});
    case EKind::NotANumber: return text(T::FrmCheck_m_aMNotANumber, {finding.column, rows});
    case EKind::NotConvertible: return text(T::FrmCheck_m_aMNotConvertible, {finding.column, rows, finding.detail});
    case EKind::NotInCharacterSet:
        return text(T::FrmCheck_m_aMNotInCharacterSet, {finding.column, rows, finding.detail});
    case EKind::LegacyText: return text(T::FrmCheck_m_aMLegacyText, {finding.column, rows});
    case EKind::UnmappedBytes: return text(T::FrmCheck_m_aMUnmappedBytes, {finding.column, rows, finding.detail});
    case EKind::NullIntoNotNull: return text(T::FrmCheck_m_aMNullIntoNotNull, {finding.column, rows});
    case EKind::NeedsDefault: return text(T::FrmCheck_m_aMNeedsDefault, {finding.column, finding.detail});
    case EKind::Unreadable: return text(T::FrmCheck_m_aMUnreadable, {finding.column, finding.detail});
    case EKind::NotATable: return text(T::FrmCheck_m_aMNotATable, {finding.detail});
    case EKind::MissingParentKeys: return text(T::FrmCheck_m_aMMissingParent, {finding.column, rows, finding.detail});
    case EKind::DuplicateKeys: return text(T::FrmCheck_m_aMDuplicateKeys, {finding.column, rows, finding.detail});
    case EKind::CheckRefuses: return text(T::FrmCheck_m_aMCheckRefuses, {rows, finding.detail});
    case EKind::ReachesOthers: return text(T::FrmCheck_m_aMReachesOthers, {finding.detail});
    case EKind::Cycle: return text(T::FrmCheck_m_aMCycle, {finding.detail});
    case EKind::UndeferredCheck: return text(T::FrmCheck_m_aMUndeferredCheck, {finding.detail, finding.column});
    case EKind::GroupRefused: return text(T::FrmCheck_m_aMGroupRefused, {finding.detail});
    case EKind::Deferred: return text(T::FrmCheck_m_aMDeferred, {finding.column, finding.detail});
    case EKind::Receives: return text(T::FrmCheck_m_aMReceives, {finding.column, finding.detail});
    case EKind::Triggers: return text(T::FrmCheck_m_aMTriggers, {finding.detail});
    case EKind::Generators: return text(T::FrmCheck_m_aMGenerators, {finding.detail});
    case EKind::GeneratorsKept: return text(T::FrmCheck_m_aMGeneratorsKept, {finding.detail});
    case EKind::Identities: return text(T::FrmCheck_m_aMIdentities, {finding.detail});
    case EKind::SourceEmpty: return text(T::FrmCheck_m_aMSourceEmpty, {});
    case EKind::Unfinished: return text(T::FrmCheck_m_aMUnfinished, {});
    }
    return {};
}

namespace
{
std::string StateText(ECheckSeverity severity, CLanguageCatalog& catalog)
{
    const T id = severity == ECheckSeverity::Fails     ? T::FrmCheck_m_aMFails
                 : severity == ECheckSeverity::Warning ? T::FrmCheck_m_aMWarns
                                                       : T::FrmCheck_m_aMFine;
    return FormatText(catalog.GetText(id), std::vector<std::string>{});
}
} // namespace

std::string DurationText(double seconds)
{
    if (seconds < 120)
        return std::to_string(std::max(1, static_cast<int>(std::ceil(seconds)))) + " s";
    return std::to_string(static_cast<int>(std::ceil(seconds / 60))) + " min";
}

std::vector<SCheckReportLine> CheckReportLines(const SCheckReport& report, CLanguageCatalog& catalog)
{
    std::vector<SCheckReportLine> lines;
    if (!report.checked)
    {
        lines.push_back(
            {false, ECheckSeverity::Fails,
             FormatText(catalog.GetText(T::FrmCheck_m_aMNotChecked), std::vector<std::string>{report.error})});
        return lines;
    }
    lines.push_back({false, ECheckSeverity::Fine,
                     FormatText(catalog.GetText(T::FrmCheck_m_aMSummary),
                                std::vector<std::string>{std::to_string(report.tables.size()),
                                                         std::to_string(report.Count(ECheckSeverity::Fails)),
                                                         std::to_string(report.Count(ECheckSeverity::Warning)),
                                                         std::to_string(report.Count(ECheckSeverity::Fine))})});
    for (const STableCheck& table : report.tables)
    {
        lines.push_back({true, table.severity,
                         FormatText(catalog.GetText(T::FrmCheck_m_aMTable),
                                    std::vector<std::string>{table.table, StateText(table.severity, catalog),
                                                             Count(table.sourceRows, catalog),
                                                             DurationText(table.estimatedSeconds)})});
        for (const SCheckFinding& finding : table.findings)
            lines.push_back({false, finding.severity, FindingText(finding, catalog)});
    }
    return lines;
}

std::string CheckReportText(const SCheckReport& report, CLanguageCatalog& catalog)
{
    std::string text;
    bool first = true;
    for (const SCheckReportLine& line : CheckReportLines(report, catalog))
    {
        if (line.table)
            text += "\n" + line.text + "\n";
        else
            text += (first ? "" : "    ") + line.text + "\n";
        first = false;
    }
    return text;
}
