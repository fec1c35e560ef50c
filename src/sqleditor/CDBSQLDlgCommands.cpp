// The Edit and File commands of the SQL editor: ready-made statements for
// the user to review and run, script files and the result export.
#include "sqleditor/CDBSQLDlg.h"

#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "sqleditor/CRecordStatements.h"
#include "sqleditor/SqlEditorFiles.h"
#include "ui/FileDialogs.h"

#include <QCheckBox>
#include <QPlainTextEdit>

void CDBSQLDlg::OnDeleteRecord()
{
    CRecordStatements statements(m_gridColumns, m_gridRows, m_sTableName);
    statements.ChooseKey(*m_pConnection);
    // One statement per line, so that Execute runs them one by one.
    SetStatement(statements.DeleteRecords(SelectedRows()), false);
}

void CDBSQLDlg::OnModifyRecord()
{
    const std::vector<int> rows = SelectedRows();
    if (m_gridColumns.ColumnCount() == 0 || m_sTableName.empty() || rows.empty())
        return;
    CRecordStatements statements(m_gridColumns, m_gridRows, m_sTableName);
    statements.ChooseKey(*m_pConnection);
    SetStatement(statements.ModifyRecord(rows.front()), true);
}

void CDBSQLDlg::OnInsertRecord()
{
    if (m_gridColumns.ColumnCount() == 0 || m_sTableName.empty())
        return;
    CRecordStatements statements(m_gridColumns, m_gridRows, m_sTableName);
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
    SaveSqlScript(path.toStdU16String(), ToCrLf(WideToUtf8(m_EDTStatement->toPlainText().toStdU16String())));
}

void CDBSQLDlg::OnExportResults()
{
    const QString path = SaveFileDialog(this, m_sMCSVFile, QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    ExportResults(m_gridColumns, m_gridRows, path.toStdU16String());
}
