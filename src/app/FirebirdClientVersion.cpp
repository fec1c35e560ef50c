#include "app/FirebirdClientVersion.h"

#include <QRegularExpression>

#include <ibase.h>

QString FirebirdVersionFromClientText(const QString& clientText)
{
    static const QRegularExpression product(QStringLiteral("Firebird\\s+(\\d+)\\.(\\d+)"));
    static const QRegularExpression number(QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch productMatch = product.match(clientText);
    if (!productMatch.hasMatch())
        return clientText.trimmed();
    QString version = productMatch.captured(1) + QLatin1Char('.') + productMatch.captured(2);
    const QRegularExpressionMatch numberMatch = number.match(clientText);
    if (numberMatch.hasMatch() && numberMatch.capturedStart() < productMatch.capturedStart())
        version += QLatin1Char('.') + numberMatch.captured(3) + QLatin1Char('.') + numberMatch.captured(4);
    return version;
}

QString FirebirdClientText()
{
    // The client writes a short text; the buffer is far larger than any.
    char buffer[256] = {};
    isc_get_client_version(buffer);
    buffer[sizeof(buffer) - 1] = '\0';
    return QStringLiteral("Uses Firebird ") + FirebirdVersionFromClientText(QString::fromLatin1(buffer));
}
