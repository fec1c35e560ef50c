#include "cli/ProgressText.h"

#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "core/TextEncoding.h"

#include <cmath>
#include <cstdio>

std::string TimeLeftText(long long seconds)
{
    if (seconds < 0)
        seconds = 0;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

SProgressTexts::SProgressTexts(CLanguageCatalog& catalog)
    : rowsOf(catalog.GetText(ELanguageText::FrmCopy_m_acMRowsOf)),
      rows(catalog.GetText(ELanguageText::FrmCopy_m_acMRows)),
      speed(catalog.GetText(ELanguageText::FrmCopy_m_acMSpeed)),
      timeLeft(catalog.GetText(ELanguageText::FrmCopy_m_acMTimeLeft)),
      thousands(WideToUtf8(catalog.GetText(ELanguageText::FrmCopy_m_acMThousands)))
{
}

std::string RowProgressText(const SProgressTexts& texts, const std::string& table, const SRowProgress& progress)
{
    const auto number = [&](long long value) { return GroupedNumber(value, texts.thousands); };
    std::string text =
        progress.total >= 0
            ? FormatText(texts.rowsOf, std::vector<std::string>{table, number(progress.rows), number(progress.total)})
            : FormatText(texts.rows, std::vector<std::string>{table, number(progress.rows)});
    if (progress.rowsPerSecond > 0)
    {
        text += FormatText(texts.speed, number(std::llround(progress.rowsPerSecond)));
        if (progress.secondsLeft >= 0)
            text += FormatText(texts.timeLeft, TimeLeftText(progress.secondsLeft));
    }
    return text;
}
