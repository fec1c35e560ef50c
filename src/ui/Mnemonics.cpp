#include "ui/Mnemonics.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace
{
// The position of the character a single "&" marks; -1 when none is marked.
int MarkedKey(const QString& label)
{
    for (int i = 0; i + 1 < label.size(); ++i)
    {
        if (label[i] != QLatin1Char('&'))
            continue;
        if (label[i + 1] == QLatin1Char('&'))
        {
            ++i; // "&&" is an ampersand
            continue;
        }
        return i + 1;
    }
    return -1;
}

void AssignWithin(const QList<QAction*>& actions)
{
    QSet<QChar> taken;
    // Keys a text marks itself are reserved before the others choose.
    for (const QAction* action : actions)
    {
        const QString label = action->text().section(QLatin1Char('\t'), 0, 0);
        const int marked = MarkedKey(label);
        if (marked >= 0)
            taken.insert(label[marked].toLower());
    }
    for (QAction* action : actions)
        if (!action->isSeparator() && !action->text().isEmpty())
            action->setText(WithMnemonic(action->text(), taken));
}
} // namespace

QString WithMnemonic(const QString& text, QSet<QChar>& taken)
{
    const int tab = text.indexOf(QLatin1Char('\t'));
    const QString label = tab < 0 ? text : text.left(tab);
    if (MarkedKey(label) >= 0)
        return text;
    // Word starts first, then any letter or digit, then (a text of signs
    // only, as "?") any sign.
    for (const int pass : {0, 1, 2})
    {
        for (int i = 0; i < label.size(); ++i)
        {
            const QChar c = label[i];
            const bool fits = pass == 2
                                  ? !c.isSpace() && c != QLatin1Char('&')
                                  : c.isLetterOrNumber() && (pass == 1 || i == 0 || !label[i - 1].isLetterOrNumber());
            if (!fits)
                continue;
            if (taken.contains(c.toLower()))
                continue;
            taken.insert(c.toLower());
            QString marked = text;
            marked.insert(i, QLatin1Char('&'));
            return marked;
        }
    }
    return text;
}

void AssignMnemonics(QMenuBar* bar)
{
    AssignWithin(bar->actions());
    for (const QAction* title : bar->actions())
        if (QMenu* menu = title->menu())
            AssignWithin(menu->actions());
}

QString WithoutMnemonic(QString text)
{
    const int tab = text.indexOf(QLatin1Char('\t'));
    QString label = tab < 0 ? text : text.left(tab);
    const int marked = MarkedKey(label);
    if (marked >= 0)
        label.remove(marked - 1, 1);
    return tab < 0 ? label : label + text.mid(tab);
}
