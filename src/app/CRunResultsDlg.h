#pragma once

#include "copy/run/CCopyRun.h"

#include <QDialog>
#include <QString>

#include <string>

class CFontSettings;
class QLabel;
class QPushButton;
class QTreeWidget;

// What a finished run did, for as long as it is the last run into its
// destination: one row per table with its outcome, rows, time and the reason
// of a failure, the run's summary, and links to its logs and to the way back.
class CRunResultsDlg : public QDialog
{
    Q_OBJECT

  public:
    // The run's files: its three logs and the kept copy of the destination
    // as it was before the run (empty when none was kept).
    struct SFiles
    {
        std::u16string runLog, sqlLog, textLog;
        std::string keptCopy;
    };

    CRunResultsDlg(const QString& languageFile, CFontSettings& font, const QString& summary,
                   const std::u16string& destination, const SCopyRunResult& result, const SFiles& files,
                   QWidget* parent = nullptr);

    // The text of an outcome in the language of languageFile.
    static QString OutcomeText(const STableOutcome& outcome, const std::u16string& languageFile);

  signals:
    // A log link was followed: the file to show.
    void logRequested(const std::u16string& path);

  private:
    void FillTable(const SCopyRunResult& result);
    QString LogLinks() const;

    std::u16string m_sLanguageFile;
    SFiles m_files;
    QLabel* m_LBLSummary = nullptr;
    QTreeWidget* m_LISResults = nullptr;
    QLabel* m_LBLLogs = nullptr;
    QPushButton* m_BTNClose = nullptr;
};
