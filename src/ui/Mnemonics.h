#pragma once

#include <QSet>
#include <QString>

class QMenuBar;
class QWidget;

// text with an Alt key marked ("&File"): the first letter of a word not in
// taken, else any letter or digit not in taken, else any sign; the key joins
// taken. A text
// that marks its own key (a translation's "&") keeps it. Only the part
// before a tab (the shortcut) is looked at.
QString WithMnemonic(const QString& text, QSet<QChar>& taken);

// Gives the menu bar's menus, and the entries of each menu, distinct Alt
// keys in whatever language their texts are.
void AssignMnemonics(QMenuBar* bar);

// The text as the user reads it: without the marks of Alt keys.
QString WithoutMnemonic(QString text);
