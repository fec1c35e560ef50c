#pragma once

#include "copy/check/CopyCheck.h"
#include "copy/run/RunSettings.h"

#include <QDialog>
#include <QString>

#include <string>
#include <thread>
#include <vector>

class CFontSettings;
class QLabel;
class QPushButton;
class QTreeWidget;

// Shows what a copy of the chosen tables would do, table by table with an
// icon (fine, warnings, will fail) and the findings below each. The check
// runs on a thread of its own, so the window stays alive while the tables are
// read; Copy ends the window asking for that copy.
class CCheckReportDlg : public QDialog
{
    Q_OBJECT

  public:
    CCheckReportDlg(const QString& languageFile, CFontSettings& font, QWidget* parent = nullptr);
    ~CCheckReportDlg() override;

    // Starts the check of tables with the run's settings.
    // unfinished: the tables a killed copy into the destination left unfinished;
    // journal: the trigger journal's entries of the destination.
    void Start(const SRunSettings& settings, const std::vector<std::string>& tables,
               const std::vector<std::string>& unfinished = {},
               const std::vector<CTriggerJournal::SEntry>& journal = {});
    // Shows a finished report.
    void ShowReport(const SCheckReport& report);
    // True when the window ended with Copy.
    bool CopyChosen() const { return m_bCopy; }
    // The report shown; empty before it.
    const SCheckReport& Report() const { return m_report; }

  signals:
    void reportShown();

  private:
    void OnCopy();
    void FitLongestLine();

    std::u16string m_sLanguageFile;
    QLabel* m_LBLSummary = nullptr;
    QTreeWidget* m_LISReport = nullptr;
    QPushButton* m_BTNCopy = nullptr;
    QPushButton* m_BTNClose = nullptr;
    std::thread m_worker;
    bool m_bCopy = false;
    bool m_bSizeRemembered = false;
    SCheckReport m_report;
};
