#pragma once

#include <QString>
#include <QUrl>

// Opens a document path, a web address ("http://", "https://") or a mail
// target ("mailto:") with the desktop's default handler. False for an empty
// target or when the desktop refused; nothing is shown to the user.
bool OpenWithDefaultHandler(const QString& target);

// The address OpenWithDefaultHandler hands to the desktop for target: a
// local file URL for a path, the address itself for a known scheme.
QUrl UrlForTarget(const QString& target);

// While recording is on, targets are only remembered, never opened.
void SetShellOpenRecording(bool record);
// The last target given while recording (empty when none), and how many.
QString LastShellOpenTarget();
int ShellOpenCount();
void ResetShellOpenRecord();
