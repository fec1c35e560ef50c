#include "app/CDBCopyDlgUnattended.h"

#include "app/CDBCopyDlg.h"
#include "cli/CTerminalProgress.h"
#include "cli/CUnattendedRun.h"
#include "cli/InterruptSignals.h"
#include "cli/RunReport.h"
#include "ui/CFontSettings.h"

#include <ostream>
#include <unistd.h>

int RunUnattendedWithProgress(const std::vector<std::string>& arguments, const std::string& programFile,
                              std::ostream& out, std::ostream& err, bool progressLine)
{
    CRunReport report(arguments, "copy", out, err);
    std::ostream& lines = report.Lines();
    std::ostream& messages = report.Messages();
    // The stored font needs a window to belong to; the progress window is
    // the only one shown.
    QWidget fontOwner;
    CFontSettings font(&fontOwner);
    SUnattendedRun run;
    if (!report.CanWrite(programFile))
        return ExitNotStarted;
    const bool prepared = PrepareUnattendedRun(arguments, programFile, messages, run, &font);
    report.TakeRun(run);
    if (!prepared)
        return report.Finish(run.nothingToDo ? ExitAllCopied : ExitNotStarted, run.catalog);

    CDBCopyDlg dialog;
    // As without a window: the first interrupt stops after the table in
    // progress, the next aborts that table.
    const CInterruptWatch interrupts([&](int count) {
        if (count == 1)
            QMetaObject::invokeMethod(
                &dialog, [&dialog] { dialog.RequestStop(); }, Qt::QueuedConnection);
        else
        {
            // At once, whatever the window's thread is doing; the window
            // then says so too.
            run.engine.RequestAbort();
            QMetaObject::invokeMethod(
                &dialog, [&dialog] { dialog.OnAbort(); }, Qt::QueuedConnection);
        }
    });
    dialog.Create(nullptr, font);
    dialog.show();
    dialog.SetLanguageFile(QString::fromStdU16String(run.settings.m_sLanguageFile));
    dialog.Setup(UnattendedJob(run));
    CTerminalProgress progress(err, CTerminalProgress::TerminalWidth(STDERR_FILENO));
    QObject::connect(&dialog, &CDBCopyDlg::tableFinished, [&](int, const QString& table, bool copied) {
        progress.Between([&] { lines << UnattendedResultLine(run, table.toStdString(), copied) << std::endl; });
    });
    if (progressLine)
        QObject::connect(&dialog, &CDBCopyDlg::stateShown,
                         [&](const QString& state) { progress.Show(state.toStdString()); });
    if (!dialog.Start())
        return report.Finish(ExitNotStarted, run.catalog);
    dialog.WaitForEnd(-1);
    progress.Clear();
    const int exitCode = FinishUnattendedRun(run, dialog.RunResult(), lines, messages);
    report.TakeCopy(dialog.RunResult());
    return report.Finish(exitCode, run.catalog);
}
