// Renders the program's dialogs to PNG files on the offscreen platform, so
// that their look can be checked in every language without a display.
//
//   screenshot_tool --list
//   screenshot_tool <dialog> <language> <file.png>
//   screenshot_tool --all <folder> [language...]     (default: English German)
//   screenshot_tool --check [language...]
//
// A language is "English" (the built-in texts) or the base name of a
// language file in the program folder ("German" for German.lng).
#include "ScreenshotRegistry.h"

#include "ui/CFontSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

#ifndef ROWMOVER_PROGRAM_DIR
#define ROWMOVER_PROGRAM_DIR ""
#endif

std::map<QString, TMakeScreenshotDialog>& ScreenshotDialogs()
{
    static std::map<QString, TMakeScreenshotDialog> dialogs;
    return dialogs;
}

namespace
{
constexpr int kTitleHeight = 30;

QString ProgramDir()
{
    const QByteArray fromEnvironment = qgetenv("ROWMOVER_PROGRAM_DIR");
    return fromEnvironment.isEmpty() ? QString::fromUtf8(ROWMOVER_PROGRAM_DIR)
                                     : QString::fromLocal8Bit(fromEnvironment);
}

bool LanguageFileOf(const QString& language, QString& file)
{
    if (language == QLatin1String("English"))
    {
        file.clear();
        return true;
    }
    file = QDir(ProgramDir()).filePath(language + QStringLiteral(".lng"));
    return QFileInfo::exists(file);
}

// The dialog in a plain frame with its caption and icon, as a window manager
// would show it: the caption is part of what must fit.
QImage Frame(QWidget& dialog)
{
    const QPixmap body = dialog.grab();
    QImage image(body.width() + 2, body.height() + kTitleHeight + 1, QImage::Format_ARGB32);
    image.fill(QColor(0x3c, 0x4a, 0x5c));
    QPainter painter(&image);
    painter.drawPixmap(1, kTitleHeight, body);
    const QIcon icon = dialog.windowIcon();
    int textLeft = 10;
    if (!icon.isNull())
    {
        painter.drawPixmap(8, (kTitleHeight - 18) / 2, icon.pixmap(18, 18));
        textLeft = 34;
    }
    QFont title = dialog.font();
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(textLeft, 0, image.width() - textLeft - 8, kTitleHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     dialog.windowTitle());
    return image;
}

// Texts a widget cannot show in full: a label or button narrower than its
// text needs, or one reaching past the dialog's edge.
QStringList ClippedTexts(QWidget& dialog)
{
    QStringList problems;
    const QRect inside = dialog.rect();
    const auto check = [&](QWidget* widget, const QString& text, QSize needed) {
        if (!widget->isVisible() || text.isEmpty())
            return;
        const QRect area(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
        if (!inside.contains(area))
            problems.append(widget->objectName() + QStringLiteral(" lies outside the window"));
        if (widget->width() < needed.width() || widget->height() < needed.height())
            problems.append(widget->objectName() + QStringLiteral(" is too small for \"") + text + '"');
    };
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (!label->wordWrap())
            check(label, label->text(), label->minimumSizeHint());
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
    {
        // A push button asks for a generous minimum; its text needs less.
        QSize needed = button->minimumSizeHint();
        if (qobject_cast<QPushButton*>(button) != nullptr)
            needed.setWidth(button->fontMetrics().horizontalAdvance(button->text()) + 8);
        check(button, button->text(), needed);
    }
    // A window title wider than the window is cut by the window manager.
    const QFontMetrics metrics(dialog.font());
    if (metrics.horizontalAdvance(dialog.windowTitle()) + 34 + 90 > dialog.width())
        problems.append(QStringLiteral("caption \"") + dialog.windowTitle() +
                        QStringLiteral("\" is wider than the window"));
    return problems;
}

// Builds the dialog in the language and calls use with it shown.
template <typename TUse> bool WithDialog(const QString& name, const QString& language, TUse use)
{
    const auto found = ScreenshotDialogs().find(name);
    if (found == ScreenshotDialogs().end())
    {
        std::fprintf(stderr, "unknown dialog %s\n", qPrintable(name));
        return false;
    }
    SScreenshotContext context;
    if (!LanguageFileOf(language, context.sLanguageFile))
    {
        std::fprintf(stderr, "no language file for %s in %s\n", qPrintable(language), qPrintable(ProgramDir()));
        return false;
    }
    QTemporaryDir samples;
    context.sSampleDir = samples.path();
    context.sProgramDir = ProgramDir();
    QWidget owner;
    CFontSettings font(&owner);
    context.pFont = &font;
    std::unique_ptr<QWidget> dialog = found->second(context);
    dialog->show();
    QApplication::processEvents();
    return use(*dialog);
}

bool Render(const QString& name, const QString& language, const QString& output)
{
    return WithDialog(name, language, [&](QWidget& dialog) {
        if (!Frame(dialog).save(output))
        {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
            return false;
        }
        std::printf("%s\n", qPrintable(output));
        return true;
    });
}

QStringList Languages(const QStringList& arguments, qsizetype from)
{
    QStringList languages = arguments.mid(from);
    if (languages.isEmpty())
        languages = {QStringLiteral("English"), QStringLiteral("German")};
    return languages;
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 2 && arguments[1] == QLatin1String("--list"))
    {
        for (const auto& entry : ScreenshotDialogs())
            std::printf("%s\n", qPrintable(entry.first));
        return 0;
    }
    if (arguments.size() >= 3 && arguments[1] == QLatin1String("--all"))
    {
        QDir().mkpath(arguments[2]);
        bool ok = true;
        for (const QString& language : Languages(arguments, 3))
            for (const auto& entry : ScreenshotDialogs())
                ok = Render(entry.first, language,
                            QDir(arguments[2]).filePath(entry.first + '_' + language + QStringLiteral(".png"))) &&
                     ok;
        return ok ? 0 : 1;
    }
    if (arguments.size() >= 2 && arguments[1] == QLatin1String("--check"))
    {
        bool ok = true;
        for (const QString& language : Languages(arguments, 2))
            for (const auto& entry : ScreenshotDialogs())
                ok = WithDialog(entry.first, language,
                                [&](QWidget& dialog) {
                                    const QStringList problems = ClippedTexts(dialog);
                                    for (const QString& problem : problems)
                                        std::fprintf(stderr, "%s (%s): %s\n", qPrintable(entry.first),
                                                     qPrintable(language), qPrintable(problem));
                                    return problems.isEmpty();
                                }) &&
                     ok;
        return ok ? 0 : 1;
    }
    if (arguments.size() == 4)
        return Render(arguments[1], arguments[2], arguments[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: screenshot_tool --list | --all <folder> [language...] | --check [language...] | "
                         "<dialog> <language> <file.png>\n");
    return 2;
}
