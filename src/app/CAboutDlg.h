#pragma once

#include "core/ProgramVersion.h"

#include <QDialog>
#include <QString>

#include <vector>

class CClickEdit;
class CFontSettings;
class QGridLayout;
class QLabel;
class QPushButton;

// One link row of the about window: an optional label in front ("French
// by:"), the text shown and the address a double click opens (a web address
// or "mailto:" and a mail address).
struct SAboutLink
{
    QString sLabel;
    QString sText;
    QString sTarget;
};

// The "Info" window: product, version, the Firebird client in use, and the
// maker and translator links it is given.
class CAboutDlg : public QDialog
{
    Q_OBJECT

  public:
    static constexpr const char* kCaption = "Info";
    static constexpr const char* kProductName = "Rowmover";
    static constexpr const char* kFirebirdSite = "https://firebirdsql.org/";

    // makers: the maker's web and mail links; translators: one row per
    // translated language. Rows that are not given are not shown.
    CAboutDlg(const QString& versionText, const QString& clientLibraryText, CFontSettings& font, const QString& okText,
              const std::vector<SAboutLink>& makers = {}, const std::vector<SAboutLink>& translators = {},
              QWidget* parent = nullptr);

  private:
    CClickEdit* AddLink(const QString& objectName, const SAboutLink& link);
    void SetLinkWidths();

    QLabel* m_PICIcon = nullptr;
    QLabel* m_PICPicture = nullptr;
    QLabel* m_LBLProduct = nullptr;
    QLabel* m_LBLVersion = nullptr;
    QLabel* m_LBLNotice = nullptr;
    QLabel* m_LBLProductNote = nullptr;
    CClickEdit* m_EDTClientLibrary = nullptr;
    std::vector<CClickEdit*> m_links;
    QPushButton* m_BTNOk = nullptr;
};
