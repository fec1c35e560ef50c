#include "ui/FontDialog.h"

#include "ui/CMessageBox.h"

#include <QFontDialog>

namespace
{
bool g_bAnswerSet = false;
std::optional<QFont> g_nextAnswer;
QFont g_lastInitial;
} // namespace

std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial)
{
    g_lastInitial = initial;
    if (g_bAnswerSet)
    {
        g_bAnswerSet = false;
        std::optional<QFont> answer = g_nextAnswer;
        g_nextAnswer.reset();
        return answer;
    }
    if (!CMessageBox::CanShowWindows())
        return std::nullopt;
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}

void SetNextFontDialogAnswer(const std::optional<QFont>& answer)
{
    g_bAnswerSet = true;
    g_nextAnswer = answer;
}

QFont LastFontDialogInitial()
{
    return g_lastInitial;
}
