#include "app/FirebirdClientVersion.h"

#include <QRegularExpression>

#include <ibase.h>

QString FirebirdVersionFromClientText(const QString& clientText, int major, int minor)
{
    static const QRegularExpression number(QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+)\\.(\\d+)"));
    const QString base = QString::number(major) + QLatin1Char('.') + QString::number(minor);
    const QRegularExpressionMatch match = number.match(clientText);
    if (!match.hasMatch())
        return base;
    return base + QLatin1Char('.') + match.captured(3) + QLatin1Char('.') + match.captured(4);
}

QString FirebirdClientText()
{
    // The client writes a short text; the buffer is far larger than any.
    char buffer[256] = {};
    isc_get_client_version(buffer);
    buffer[sizeof(buffer) - 1] = '\0';
    return QStringLiteral("Uses Firebird ") + FirebirdVersionFromClientText(QString::fromLatin1(buffer),
                                                                            isc_get_client_major_version(),
                                                                            isc_get_client_minor_version());
}
