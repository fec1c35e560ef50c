#include "ui/FileDialogs.h"

#include "ui/CMessageBox.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <optional>

namespace
{
std::optional<QString> g_nextAnswer;
QString g_sLastFilter;
QString g_sLastInitialPath;

QString WithoutDot(const QString& extension)
{
    QString bare = extension.trimmed();
    while (bare.startsWith(QLatin1Char('.')))
        bare.remove(0, 1);
    return bare;
}

// A preset answer, the real dialog, or nothing when no display can show one.
QString Ask(bool save, QWidget* parent, const QString& filter, const QString& initialPath)
{
    g_sLastFilter = ConvertFileDialogFilter(filter);
    g_sLastInitialPath = initialPath;
    if (g_nextAnswer.has_value())
    {
        const QString answer = *g_nextAnswer;
        g_nextAnswer.reset();
        return answer;
    }
    if (!CMessageBox::CanShowWindows())
        return {};
    return save ? QFileDialog::getSaveFileName(parent, {}, initialPath, g_sLastFilter)
                : QFileDialog::getOpenFileName(parent, {}, initialPath, g_sLastFilter);
}
} // namespace

QString ConvertFileDialogFilter(const QString& filter)
{
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    // Pairs up to the first empty description: the "||" end mark.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        QString description = parts[i].trimmed();
        if (description.isEmpty())
            break;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';')))
        {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns.append(trimmed);
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        description.remove(trailingPatterns);
        entries.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

QString OpenFileDialog(QWidget* parent, const QString& filter, const QString& defaultExtension,
                       const QString& initialPath)
{
    const QString path = Ask(false, parent, filter, initialPath);
    if (path.isEmpty())
        return {};
    // A typed name without extension means the file with the usual one when
    // only that exists.
    const QString extension = WithoutDot(defaultExtension);
    if (!extension.isEmpty() && QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path) &&
        QFileInfo::exists(path + QLatin1Char('.') + extension))
        return path + QLatin1Char('.') + extension;
    return path;
}

QString SaveFileDialog(QWidget* parent, const QString& filter, const QString& defaultExtension,
                       const QString& initialPath)
{
    const QString path = Ask(true, parent, filter, initialPath);
    if (path.isEmpty())
        return {};
    const QString extension = WithoutDot(defaultExtension);
    if (!extension.isEmpty() && QFileInfo(path).suffix().isEmpty() && !path.endsWith(QLatin1Char('/')))
        return path + QLatin1Char('.') + extension;
    return path;
}

void SetNextFileDialogAnswer(const QString& answer)
{
    g_nextAnswer = answer;
}

QString LastFileDialogFilter()
{
    return g_sLastFilter;
}

QString LastFileDialogInitialPath()
{
    return g_sLastInitialPath;
}
