#include "ui/ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace
{
bool g_bRecording = false;
QString g_sLastTarget;
int g_nCount = 0;

bool HasAddressScheme(const QString& target)
{
    static const char* const schemes[] = {"http:", "https:", "mailto:", "ftp:", "file:"};
    for (const char* scheme : schemes)
        if (target.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}
} // namespace

QUrl UrlForTarget(const QString& target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (HasAddressScheme(trimmed))
        return QUrl(trimmed, QUrl::TolerantMode);
    // Anything else is a document path; a relative one means the current
    // folder, as for the shell.
    return QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(trimmed).absoluteFilePath()));
}

bool OpenWithDefaultHandler(const QString& target)
{
    const QUrl url = UrlForTarget(target);
    if (!url.isValid() || url.isEmpty())
        return false;
    if (g_bRecording)
    {
        g_sLastTarget = target;
        ++g_nCount;
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void SetShellOpenRecording(bool record)
{
    g_bRecording = record;
}

QString LastShellOpenTarget()
{
    return g_sLastTarget;
}

int ShellOpenCount()
{
    return g_nCount;
}

void ResetShellOpenRecord()
{
    g_sLastTarget.clear();
    g_nCount = 0;
}
