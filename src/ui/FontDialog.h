#pragma once

#include <QFont>

#include <optional>

class QWidget;

// The platform's font dialog started on initial; the chosen font, or nothing
// when cancelled or when no display can show the dialog.
std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial);

// The next font dialog returns answer (nothing: cancelled) without showing.
void SetNextFontDialogAnswer(const std::optional<QFont>& answer);
// The font the last font dialog started on.
QFont LastFontDialogInitial();
