// The Edit and File commands of the SQL editor: ready-made statements for
// the user to review and run, script files and the result export.
#include "sqleditor/CDBSQLDlg.h"

#include "db/CFbConnection.h"
#include "sqleditor/CRecordStatements.h"
#include "sqleditor/CResultModel.h"
#include "sqleditor/CSqlSession.h"
#include "sqleditor/EditorText.h"
#include "sqleditor/SqlEditorFiles.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

#include <memory>
#include <numeric>

namespace
{
// The key fields of a table as the connection reports them.
struct SKeyFields
{
    bool ok = false;
    CStringGrid grid;
};
} // namespace

void CDBSQLDlg::WithKeyFields(std::function<void(bool ok, CStringGrid& keyGrid)> use)
{
    if (!m_pSession || m_bBusy)
    {
        CStringGrid none;
        use(false, none);
        return;
    }
    // The key query runs on the session's thread like every statement.
    BeginBusy(m_sMExecuting);
    m_pSession->Post([this, table = m_sTableName, use = std::move(use)](CSqlSession::SContext& context) {
        auto keys = std::make_shared<SKeyFields>();
        keys->ok = context.connection.GetKeyFields(table, keys->grid);
        context.deliver([this, keys, use] {
            EndBusy();
            ShowResultStatus(false);
            use(keys->ok, keys->grid);
        });
    });
}

void CDBSQLDlg::SayWhatRecordsCover()
{
    // Rows that were never fetched cannot be selected: the statements say
    // which rows they are about.
    if (m_pResultModel->HasMoreRows())
        ShowStatus(FormatUiText(m_sMPartial, Count(m_pResultModel->Rows())));
}

void CDBSQLDlg::OnDeleteRecord()
{
    const std::vector<int> rows = SelectedRows();
    WithKeyFields([this, rows](bool ok, CStringGrid& keyGrid) {
        CStringGrid selected;
        m_pResultModel->CopyRows(rows, selected);
        CRecordStatements statements(m_gridColumns, selected, m_sTableName);
        statements.ChooseKey(ok, keyGrid);
        std::vector<int> order(rows.size());
        std::iota(order.begin(), order.end(), 0);
        // One statement per line, so that Execute runs them one by one.
        SetStatement(statements.DeleteRecords(order), false);
        SayWhatRecordsCover();
    });
}

void CDBSQLDlg::OnModifyRecord()
{
    const std::vector<int> rows = SelectedRows();
    if (m_gridColumns.ColumnCount() == 0 || m_sTableName.empty() || rows.empty())
        return;
    WithKeyFields([this, row = rows.front()](bool ok, CStringGrid& keyGrid) {
        CStringGrid selected;
        m_pResultModel->CopyRows({row}, selected);
        CRecordStatements statements(m_gridColumns, selected, m_sTableName);
        statements.ChooseKey(ok, keyGrid);
        SetStatement(statements.ModifyRecord(0), true);
    });
}

void CDBSQLDlg::OnInsertRecord()
{
    if (m_gridColumns.ColumnCount() == 0 || m_sTableName.empty())
        return;
    CStringGrid none;
    CRecordStatements statements(m_gridColumns, none, m_sTableName);
    SetStatement(statements.InsertRecord(), true);
}

void CDBSQLDlg::OnDeleteTable()
{
    SetStatement(CRecordStatements::DropTable(m_sTableName), false);
}

void CDBSQLDlg::OnInsertTable()
{
    SetStatement(CRecordStatements::kCreateTestTable, true);
}

void CDBSQLDlg::OnSystemTable()
{
    SetStatement(CRecordStatements::kShowSystemTable, false);
}

void CDBSQLDlg::OnOpenScript()
{
    const QString path = OpenFileDialog(this, m_sMSqlScript, QStringLiteral("sql"));
    if (path.isEmpty())
        return;
    const std::string text = LoadSqlScript(path.toStdU16String());
    m_EDTStatement->setPlainText(QString::fromStdU16String(Utf8ToWide(FromCrLf(text))));
}

void CDBSQLDlg::OnSaveScript()
{
    const QString path = SaveFileDialog(this, m_sMSqlScript, QStringLiteral("sql"));
    if (path.isEmpty())
        return;
    // Scripts keep CR LF line ends, whatever the box uses inside.
    std::string error;
    if (!SaveSqlScript(path.toStdU16String(), ToCrLf(WideToUtf8(m_EDTStatement->toPlainText().toStdU16String())),
                       &error))
        CMessageBox::ShowError(this, FormatUiText(m_sMSaveFailed, path), m_acMError, ToQString(error));
}

void CDBSQLDlg::OnExportResults()
{
    if (m_bBusy)
        return;
    const QString path = SaveFileDialog(this, m_sMCSVFile, QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    // A query's rows are many: all of them go to the file as they come.
    if (m_pSession && m_bResultCursor && !m_sResultSql.empty())
    {
        ExportQuery(path);
        return;
    }
    CStringGrid rows;
    std::vector<int> all(static_cast<size_t>(m_pResultModel->Rows()));
    std::iota(all.begin(), all.end(), 0);
    m_pResultModel->CopyRows(all, rows);
    std::string error;
    if (!ExportResults(m_gridColumns, rows, path.toStdU16String(), &error))
        CMessageBox::ShowError(this, FormatUiText(m_sMExportFailed, path), m_acMError, ToQString(error));
}
