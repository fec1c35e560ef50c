#pragma once

#include <QSize>
#include <QString>

#include <string>

class QWidget;

// Gives window the size the user last gave a window of its object name in
// this session, or fallback before that, and remembers the size it has each
// time it is hidden. True when a remembered size was applied.
bool KeepWindowSize(QWidget* window, QSize fallback);

// The size remembered for windows named name; invalid when none.
QSize RememberedWindowSize(const QString& name);

// The remembered sizes as one text ("CCheckReportDlg=760x480;..."), for the
// settings, and back; text that does not read as sizes is passed over.
std::string WindowSizesText();
void LoadWindowSizes(const std::string& text);
