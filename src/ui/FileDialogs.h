#pragma once

#include <QString>

class QWidget;

// The program's file filters are description and pattern pairs separated by
// "|" and ended by "||" ("SQL script (*.sql)|*.sql||"). Returns Qt's form:
// one "description (patterns)" entry per pair, joined by ";;", the patterns
// being those of the pair (";"-separated, blanks ignored), which replace a
// parenthesised pattern list at the end of the description.
QString ConvertFileDialogFilter(const QString& filter);

// Asks for an existing file; empty when cancelled. initialPath is a folder or
// a file name to start from.
QString OpenFileDialog(QWidget* parent, const QString& filter, const QString& defaultExtension,
                       const QString& initialPath = {});
// Asks for a file name to write; empty when cancelled. A name without an
// extension gets defaultExtension (given with or without its dot).
QString SaveFileDialog(QWidget* parent, const QString& filter, const QString& defaultExtension,
                       const QString& initialPath = {});

// The next file dialog returns answer (empty: cancelled) without showing.
void SetNextFileDialogAnswer(const QString& answer);
// The Qt filter and start path the last file dialog was given.
QString LastFileDialogFilter();
QString LastFileDialogInitialPath();
