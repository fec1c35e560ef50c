#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class CFontSettings;

// What a dialog needs to be shown as the program would show it.
struct SScreenshotContext
{
    QString sLanguageFile; // empty for English
    QString sSampleDir;    // a scratch folder for sample files
    QString sProgramDir;   // where Languages.ini and the language files are
    CFontSettings* pFont = nullptr;
    // Values the dialog edits in place; kept alive while it is shown.
    std::vector<std::shared_ptr<void>> keepAlive;

    template <typename T> T& Keep(std::shared_ptr<T> value)
    {
        keepAlive.push_back(value);
        return *value;
    }
};

using TMakeScreenshotDialog = std::function<std::unique_ptr<QWidget>(SScreenshotContext&)>;

// Dialog makers by name, in name order.
std::map<QString, TMakeScreenshotDialog>& ScreenshotDialogs();

struct SScreenshotRegistration
{
    SScreenshotRegistration(const char* name, TMakeScreenshotDialog make)
    {
        ScreenshotDialogs().emplace(QString::fromLatin1(name), std::move(make));
    }
};
