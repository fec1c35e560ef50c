// The SQL editor's database work: attaching, running statements on the
// session's thread with the busy state and Cancel, the result's pages, and
// the export of a whole query.
#include "sqleditor/CDBSQLDlg.h"

#include "config/TextFormat.h"
#include "core/CReplacingFile.h"
#include "core/NumberText.h"
#include "db/CFbCancel.h"
#include "db/CFbConnection.h"
#include "db/CFbQuery.h"
#include "sqleditor/CResultModel.h"
#include "sqleditor/CSqlSession.h"
#include "sqleditor/EditorText.h"
#include "sqleditor/SqlEditorFiles.h"
#include "ui/CMessageBox.h"
#include "ui/WaitForWork.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>

namespace
{
// Rows handed over at a time by Fetch all, so that the grid grows while the
// rest is on its way.
constexpr int kFetchAllChunk = 5000;
// How often an export says how far it got.
constexpr auto kExportReport = std::chrono::milliseconds(250);

// What a statement, a page or an export gave.
struct SOutcome
{
    bool ok = true;
    bool cancelled = false;
    std::string error;
    CStringGrid columns;
    CStringGrid rows;
    bool more = false;
    long long count = 0;
};

struct SAttached
{
    std::unique_ptr<CFbConnection> connection;
    std::string error;
    CStringGrid relations;
};
} // namespace

QString FormatUiText(const QString& format, const QString& value)
{
    return QString::fromStdString(FormatText(format.toStdU16String(), ToUtf8(value)));
}

QString FormatUiText(const QString& format, long long number)
{
    // The catalogue's texts take an int; counts past it are shown as text.
    if (number <= INT32_MAX)
        return QString::fromStdString(FormatText(format.toStdU16String(), static_cast<int>(number)));
    QString text = format;
    return text.replace(QStringLiteral("%d"), QString::number(number));
}

CDBSQLDlg::EAttach CDBSQLDlg::Attach(const std::u16string& database, const std::u16string& user,
                                     const std::u16string& password)
{
    const std::string db = WideToUtf8(database);
    const std::string name = WideToUtf8(user);
    const std::string secret = WideToUtf8(password);
    const int retries = m_nRetries;
    std::optional<SAttached> attached =
        WaitForWork<SAttached>(this, FormatUiText(m_sMAttaching, QString::fromStdU16String(database)),
                               m_BTNCancel->text(), [db, name, secret, retries] {
                                   SAttached result;
                                   auto connection = std::make_unique<CFbConnection>(retries);
                                   if (connection->Connect(name, secret, db))
                                   {
                                       connection->GetRelations(result.relations);
                                       result.connection = std::move(connection);
                                   }
                                   else
                                       result.error = connection->LastErrorMessage();
                                   return result;
                               });
    if (!attached)
        return EAttach::Cancelled;
    // The old attachment goes, whether the new one came or not.
    m_pSession.reset();
    m_LISTables->clear();
    m_pResultModel->Reset({});
    m_gridColumns.Clear();
    m_sResultSql.clear();
    m_bResultCursor = false;
    ShowStatus({});
    setWindowTitle(QString::fromStdU16String(database));
    if (!attached->connection)
    {
        CMessageBox::ShowError(this, m_acMConnectionFailed, m_acMError, ToQString(attached->error));
        return EAttach::Failed;
    }
    m_pSession = std::make_unique<CSqlSession>(std::move(attached->connection), this);
    FillTablesList(attached->relations);
    update();
    return EAttach::Attached;
}

void CDBSQLDlg::OnExecute()
{
    const QString text = m_EDTStatement->toPlainText();
    if (text.isEmpty() || m_bBusy)
        return;
    if (!m_pSession)
    {
        // Nothing to run on: say so, and offer the way to a database.
        if (CMessageBox::Ask(this, m_sMNotAttached, m_acMError, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
            QMessageBox::Yes)
            OnSelectDatabase();
        return;
    }
    if (m_CHKMultiline->isChecked())
    {
        RunStatements({ToUtf8(text)}, false);
        return;
    }
    SLineStatements statements = SplitStatementLines(ToUtf8(text));
    if (statements.lines.empty())
        return;
    RunStatements(std::move(statements.lines), statements.stoppedAtEmptyLine);
}

void CDBSQLDlg::RunStatements(std::vector<std::string> statements, bool stoppedAtEmptyLine)
{
    m_pResultModel->Reset({});
    m_gridColumns.Clear();
    m_sResultSql = statements.back();
    m_bResultCursor = false;
    BeginBusy(m_sMExecuting);
    m_pSession->Post([this, statements = std::move(statements), stoppedAtEmptyLine](CSqlSession::SContext& context) {
        auto outcome = std::make_shared<SOutcome>();
        bool cursor = false;
        for (size_t i = 0; i < statements.size() && outcome->ok; ++i)
        {
            context.query = std::make_unique<CFbQuery>(context.connection, &context.cancel);
            outcome->ok = context.query->Run(statements[i], outcome->columns, outcome->rows);
            // Only the last statement's rows are shown.
            if (outcome->ok && i + 1 == statements.size() && context.query->HasMoreRows())
                outcome->ok = context.query->Fetch(kPageRows, outcome->rows);
            cursor = context.query->HasCursor();
            if (!outcome->ok)
            {
                outcome->error = context.query->LastErrorMessage();
                outcome->cancelled = context.query->Cancelled();
            }
        }
        outcome->more = context.query && context.query->HasMoreRows();
        context.deliver([this, outcome, cursor, stoppedAtEmptyLine] {
            EndBusy();
            if (!outcome->ok)
            {
                // Rows fetched before a failure are not shown, so the Edit
                // and export commands never work on them either.
                m_sResultSql.clear();
                ShowStatus(outcome->cancelled ? m_sMCancelled : QString());
                if (!outcome->cancelled)
                    CMessageBox::ShowError(this, m_acMStatementFailed, m_acMError, ToQString(outcome->error));
                return;
            }
            QStringList titles;
            for (int c = 0; c < outcome->columns.ColumnCount(); ++c)
                titles << ToQString(outcome->columns.GetCell(c, 0));
            m_pResultModel->Reset(titles);
            m_pResultModel->AppendRows(outcome->rows);
            m_pResultModel->SetMoreRows(outcome->more);
            outcome->columns.CopyTo(m_gridColumns);
            m_sTableName = m_gridColumns.GetCell(0, 2);
            m_bResultCursor = cursor;
            FitResultColumns();
            ShowResultStatus(stoppedAtEmptyLine);
            update();
        });
    });
}

void CDBSQLDlg::RequestRows(int rows)
{
    if (m_bBusy || !m_pSession || !m_pResultModel->HasMoreRows())
    {
        m_pResultModel->SetFetching(false);
        return;
    }
    BeginBusy(m_sMFetching);
    m_pSession->Post([this, rows](CSqlSession::SContext& context) {
        // Fetch all hands its rows over in chunks, so the grid grows and
        // Cancel keeps what came so far.
        const int chunk = rows < 0 ? kFetchAllChunk : rows;
        for (;;)
        {
            auto outcome = std::make_shared<SOutcome>();
            if (context.query && context.query->HasMoreRows())
            {
                outcome->ok = context.query->Fetch(chunk, outcome->rows);
                outcome->error = context.query->LastErrorMessage();
                outcome->cancelled = context.query->Cancelled();
            }
            outcome->more = context.query && context.query->HasMoreRows();
            const bool last = rows >= 0 || !outcome->ok || !outcome->more;
            context.deliver([this, outcome, last] {
                m_pResultModel->AppendRows(outcome->rows);
                m_pResultModel->SetMoreRows(outcome->more);
                if (!last)
                {
                    ShowElapsed();
                    return;
                }
                EndBusy();
                ShowResultStatus(false);
                if (!outcome->ok && !outcome->cancelled)
                    CMessageBox::ShowError(this, m_acMStatementFailed, m_acMError, ToQString(outcome->error));
                else if (outcome->cancelled)
                    ShowStatus(m_LBLStatus->text() + QStringLiteral("  ") + m_sMCancelled);
            });
            if (last)
                return;
        }
    });
}

void CDBSQLDlg::OnFetchAll()
{
    RequestRows(-1);
}

void CDBSQLDlg::OnCancel()
{
    if (!m_bBusy || !m_pSession)
        return;
    m_bCancelRequested = true;
    m_pSession->Cancel();
}

void CDBSQLDlg::reject()
{
    // Escape while a statement runs stops the statement, not the editor.
    if (m_bBusy)
    {
        OnCancel();
        return;
    }
    QDialog::reject();
}

void CDBSQLDlg::BeginBusy(const QString& format)
{
    m_bBusy = true;
    m_bCancelRequested = false;
    m_sBusyFormat = format;
    m_busyClock.start();
    m_pResultModel->SetFetching(true);
    for (QWidget* widget : std::initializer_list<QWidget*>{m_BTNExecute, m_BTNFetchAll, m_LISTables})
        widget->setEnabled(false);
    for (const char* name :
         {"ID_MENSQL_SELECT", "ID_MENSQL_REFRESHTABLES", "ID_MENSQL_DELETE", "ID_MENSQL_MODIFY", "ID_MENSQL_EXPORT"})
        if (auto* action = findChild<QAction*>(name))
            action->setEnabled(false);
    m_BTNCancel->setEnabled(true);
    ShowElapsed();
    m_pBusyTimer->start();
}

void CDBSQLDlg::EndBusy()
{
    m_bBusy = false;
    m_pBusyTimer->stop();
    m_pResultModel->SetFetching(false);
    for (QWidget* widget : std::initializer_list<QWidget*>{m_BTNExecute, m_LISTables})
        widget->setEnabled(true);
    for (const char* name :
         {"ID_MENSQL_SELECT", "ID_MENSQL_REFRESHTABLES", "ID_MENSQL_DELETE", "ID_MENSQL_MODIFY", "ID_MENSQL_EXPORT"})
        if (auto* action = findChild<QAction*>(name))
            action->setEnabled(true);
    m_BTNCancel->setEnabled(false);
    m_BTNFetchAll->setEnabled(m_pResultModel->HasMoreRows());
}

void CDBSQLDlg::ShowElapsed()
{
    if (!m_bBusy)
        return;
    // A call through a server is cancelled only once its request is on its
    // way: the cancel is asked again until the work has ended.
    if (m_bCancelRequested && m_pSession)
        m_pSession->Cancel();
    const double seconds = static_cast<double>(m_busyClock.elapsed()) / 1000.0;
    // A fetch says how far it has got, not only how long it takes.
    if (m_sBusyFormat == m_sMFetching)
        ShowStatus(QString::fromStdString(
            FormatText(m_sMFetchingRows.toStdU16String(),
                       std::vector<std::string>{Count(m_pResultModel->Rows()).toStdString(),
                                                QString::number(seconds, 'f', 1).toStdString()})));
    else
        ShowStatus(FormatUiText(m_sBusyFormat, QString::number(seconds, 'f', 1)));
}

void CDBSQLDlg::FitResultColumns()
{
    // Narrow columns widen to their values where the grid has room; none
    // takes more than half of it.
    const int most = std::max(m_LISResult->viewport()->width() / 2, 80);
    for (int column = 0; column < m_pResultModel->Columns(); ++column)
    {
        m_LISResult->resizeColumnToContents(column);
        if (m_LISResult->columnWidth(column) > most)
            m_LISResult->setColumnWidth(column, most);
    }
}

QString CDBSQLDlg::Count(long long number) const
{
    return QString::fromStdString(GroupedNumber(number, m_sThousands.toStdString()));
}

void CDBSQLDlg::ShowStatus(const QString& text)
{
    m_LBLStatus->setText(text);
}

void CDBSQLDlg::ShowResultStatus(bool stoppedAtEmptyLine)
{
    QString text;
    if (m_pResultModel->Columns() == 0)
        text = m_sMDone;
    else if (m_pResultModel->HasMoreRows())
        text = FormatUiText(m_sMRowsMore, Count(m_pResultModel->Rows()));
    else
        text = FormatUiText(m_sMRowsAll, Count(m_pResultModel->Rows()));
    if (stoppedAtEmptyLine)
        text += QStringLiteral("  ") + m_sMEmptyLine;
    ShowStatus(text);
    m_BTNFetchAll->setEnabled(!m_bBusy && m_pResultModel->HasMoreRows());
}

void CDBSQLDlg::ExportQuery(const QString& path)
{
    std::vector<std::string> names;
    for (int c = 0; c < m_gridColumns.ColumnCount(); ++c)
        names.push_back(m_gridColumns.GetCell(c, 0));
    BeginBusy(FormatUiText(m_sMExporting, Count(0)) + QStringLiteral("  %s s"));
    // The query runs again beside the shown one, in the same transaction: a
    // snapshot, so it gives the rows the grid shows and those not loaded.
    m_pSession->Post([this, names, sql = m_sResultSql, target = path.toStdU16String()](CSqlSession::SContext& context) {
        auto outcome = std::make_shared<SOutcome>();
        CReplacingFile file(target);
        CFbQuery query(context.connection, &context.cancel);
        CStringGrid columns;
        CStringGrid rows;
        outcome->ok = file.Open() && file.Write(CsvLine(names));
        if (outcome->ok && !query.Run(sql, columns, rows))
        {
            outcome->ok = false;
            outcome->cancelled = query.Cancelled();
            outcome->error = query.LastErrorMessage();
        }
        auto last = std::chrono::steady_clock::now();
        std::vector<std::string> cells;
        if (outcome->ok && !query.FetchEach([&](const std::vector<SColumnValue>& values) {
                cells.clear();
                for (const SColumnValue& value : values)
                    cells.push_back(value.text);
                if (!file.Write(CsvLine(cells)))
                    return false;
                ++outcome->count;
                if (std::chrono::steady_clock::now() - last >= kExportReport)
                {
                    last = std::chrono::steady_clock::now();
                    const long long count = outcome->count;
                    context.deliver([this, count] {
                        m_sBusyFormat = FormatUiText(m_sMExporting, Count(count)) + QStringLiteral("  %s s");
                    });
                }
                return true;
            }))
        {
            outcome->ok = false;
            outcome->cancelled = query.Cancelled();
            outcome->error = query.LastErrorMessage();
        }
        if (outcome->ok && !file.Commit())
            outcome->ok = false;
        if (!outcome->ok && outcome->error.empty())
            outcome->error = file.Error();
        context.deliver([this, outcome, target] {
            EndBusy();
            if (outcome->ok)
                ShowStatus(FormatUiText(m_sMExported, Count(outcome->count)));
            else if (outcome->cancelled)
                ShowStatus(m_sMCancelled);
            else
                CMessageBox::ShowError(this, FormatUiText(m_sMExportFailed, QString::fromStdU16String(target)),
                                       m_acMError, ToQString(outcome->error));
        });
    });
}
