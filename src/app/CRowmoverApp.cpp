#include "app/CRowmoverApp.h"

#include "app/CRowmoverDlg.h"

CRowmoverApp::CRowmoverApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Rowmover"));
    setOrganizationName(QStringLiteral("Quenstead"));
}

int CRowmoverApp::InitInstance(const std::string& programFile, const std::vector<std::string>& arguments)
{
    CRowmoverDlg dialog(programFile, arguments);
    dialog.exec();
    return 0;
}
