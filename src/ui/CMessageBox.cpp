#include "ui/CMessageBox.h"

#include <QAbstractButton>
#include <QGuiApplication>

#include <cstdio>
#include <optional>

namespace
{
std::optional<QMessageBox::StandardButton> g_nextAnswer;
QString g_sLastText;
QString g_sLastCaption;
QString g_sLastDetail;
QMessageBox::Icon g_eLastIcon = QMessageBox::NoIcon;

void Record(const QString& text, const QString& caption, const QString& detail,
            QMessageBox::Icon icon = QMessageBox::Critical)
{
    g_eLastIcon = icon;
    g_sLastText = text;
    g_sLastCaption = caption;
    g_sLastDetail = detail;
}

std::optional<QMessageBox::StandardButton> TakeNextAnswer()
{
    std::optional<QMessageBox::StandardButton> answer = g_nextAnswer;
    g_nextAnswer.reset();
    return answer;
}

void WriteToStderr(const QString& text, const QString& caption, const QString& detail)
{
    QString line = caption + QStringLiteral(": ") + text;
    if (!detail.isEmpty())
        line += QStringLiteral(" (") + detail + QStringLiteral(")");
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}
} // namespace

bool CMessageBox::CanShowWindows()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void CMessageBox::ShowError(QWidget* parent, const QString& text, const QString& caption, const QString& detail)
{
    Show(QMessageBox::Critical, parent, text, caption, detail);
}

void CMessageBox::ShowInfo(QWidget* parent, const QString& text, const QString& caption)
{
    Show(QMessageBox::Information, parent, text, caption, {});
}

void CMessageBox::Show(QMessageBox::Icon icon, QWidget* parent, const QString& text, const QString& caption,
                       const QString& detail)
{
    Record(text, caption, detail, icon);
    if (TakeNextAnswer().has_value())
        return;
    if (!CanShowWindows())
    {
        WriteToStderr(text, caption, detail);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("CMessageBox"));
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

int CMessageBox::Ask(QWidget* parent, const QString& text, const QString& caption, QMessageBox::StandardButtons buttons,
                     QMessageBox::StandardButton defaultButton,
                     const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttonTexts)
{
    Record(text, caption, {}, QMessageBox::Question);
    if (const std::optional<QMessageBox::StandardButton> answer = TakeNextAnswer())
        return *answer;
    if (!CanShowWindows())
    {
        WriteToStderr(text, caption, {});
        return defaultButton;
    }
    QMessageBox box(QMessageBox::Question, caption, text, buttons, parent);
    box.setObjectName(QStringLiteral("CMessageBox"));
    box.setDefaultButton(defaultButton);
    for (const auto& [button, buttonText] : buttonTexts)
    {
        if (QAbstractButton* shown = box.button(button))
            shown->setText(buttonText);
    }
    return box.exec();
}

void CMessageBox::SetNextAnswer(QMessageBox::StandardButton button)
{
    g_nextAnswer = button;
}

QString CMessageBox::LastText()
{
    return g_sLastText;
}

QString CMessageBox::LastCaption()
{
    return g_sLastCaption;
}

QString CMessageBox::LastDetail()
{
    return g_sLastDetail;
}

QMessageBox::Icon CMessageBox::LastIcon()
{
    return g_eLastIcon;
}
