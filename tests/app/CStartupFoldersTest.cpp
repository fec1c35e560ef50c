#include "cli/CStartupFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace
{
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// Every test runs with its own home, configuration and shared data folders,
// so the real ones are never read or written.
class CStartupFoldersTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_sHome;
    QString m_sConfig;
    QString m_sShared;
    QString m_sProgram;
    QString m_sState;

    std::string ProgramFile() const { return (m_sProgram + "rowmover").toStdString(); }
    QString RecordPath() const { return m_sShared + "Quenstead/Rowmover/Installation.ini"; }
    QString UserDataFolder() const { return m_sConfig + "Quenstead/Rowmover/"; }

  private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        const QString root = m_root->path() + "/";
        m_sHome = root + "home/";
        m_sConfig = root + "config/";
        m_sShared = root + "share/";
        m_sProgram = root + "program/";
        m_sState = root + "state/";
        for (const QString& folder : {m_sHome, m_sConfig, m_sShared, m_sProgram})
            QDir().mkpath(folder);
        qputenv("HOME", m_sHome.toUtf8());
        qputenv("XDG_CONFIG_HOME", m_sConfig.toUtf8());
        qputenv("XDG_DATA_DIRS", (m_sShared + ":/usr/share/").toUtf8());
        qputenv("XDG_STATE_HOME", m_sState.toUtf8());
        WriteFile(m_sProgram + "rowmover", "program");
    }

    void WithoutSavePathTheSettingsLiveInTheUserConfigurationFolder()
    {
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "ignored");
        QCOMPARE(QString::fromStdString(folders.homeBase), m_sProgram);
        QCOMPARE(QString::fromStdString(folders.appDir), UserDataFolder());
        QVERIFY(folders.defaultDataFolder);
        QVERIFY(QFileInfo(UserDataFolder()).isDir());
    }

    void TheInstallationRecordHoldsFiveKeysInOrder()
    {
        ResolveFolders(ProgramFile(), "");
        const QString record = QString::fromUtf8(ReadFile(RecordPath()));
        const QStringList lines = record.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], "InstallationDirectory=\"" + m_sProgram + "\"");
        QCOMPARE(lines[1], QString("LanguageFile=\"Languages.ini\""));
        QCOMPARE(lines[2], QString("IniFile=\"Rowmover.ini\""));
        QCOMPARE(lines[3], QString("Version=\"Version 1.600 (09.01.2019)\""));
        QVERIFY2(QRegularExpression("^InstallDate=\"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\"$")
                     .match(lines[4])
                     .hasMatch(),
                 qPrintable(lines[4]));
    }

    void WithoutXdgConfigHomeTheHomeConfigFolderIsUsed()
    {
        qunsetenv("XDG_CONFIG_HOME");
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.appDir), m_sHome + ".config/Quenstead/Rowmover/");
        QVERIFY(QFileInfo(m_sHome + ".config/Quenstead/Rowmover/").isDir());
    }

    void AMissingConfigurationFolderIsCreatedWithItsParents()
    {
        const QString nested = m_sConfig + "a/b/";
        qputenv("XDG_CONFIG_HOME", nested.toUtf8());
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.appDir), nested + "Quenstead/Rowmover/");
        QVERIFY(QFileInfo(nested + "Quenstead/Rowmover/").isDir());
    }

    void UseExeFilePathOnePutsTheSettingsIntoTheProgramFolderWithoutRecord()
    {
        WriteFile(m_sProgram + "SavePath.ini", "UseExeFilePath=\"1\"\r\n");
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.appDir), m_sProgram);
        QVERIFY(!folders.defaultDataFolder);
        QVERIFY(!QFileInfo::exists(RecordPath()));
        QVERIFY(!QFileInfo::exists(m_sConfig + "Quenstead"));
    }

    void AnotherUseExeFilePathValueReadsApplicationStorage()
    {
        QDir().mkpath(m_sProgram + "data");
        WriteFile(m_sProgram + "SavePath.ini", "UseExeFilePath=\"yes\"\r\nApplicationStorage=\"data\"\r\n");
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.appDir), m_sProgram + "data/");
    }

    void ARelativeApplicationStorageIsTakenBelowTheProgramFolder()
    {
        QDir().mkpath(m_sProgram + "data");
        WriteFile(m_sProgram + "SavePath.ini", "ApplicationStorage=\"data\"\r\n");
        // The current folder is elsewhere: the program folder counts.
        const QString current = QDir::currentPath();
        QDir::setCurrent(m_sHome);
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QDir::setCurrent(current);
        QCOMPARE(QString::fromStdString(folders.appDir), m_sProgram + "data/");
        QVERIFY(!folders.defaultDataFolder);
        QVERIFY(!QFileInfo::exists(RecordPath()));
    }

    void AnAbsoluteApplicationStorageIsUsedAsItStands()
    {
        const QString storage = m_root->path() + "/elsewhere";
        QDir().mkpath(storage);
        WriteFile(m_sProgram + "SavePath.ini", ("ApplicationStorage=\"" + storage + "\"\r\n").toUtf8());
        QCOMPARE(QString::fromStdString(ResolveFolders(ProgramFile(), "").appDir), storage + "/");
    }

    void AMissingStorageFolderFallsBackToTheUserFolder()
    {
        WriteFile(m_sProgram + "SavePath.ini", "ApplicationStorage=\"data\"\r\n");
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.appDir), UserDataFolder());
        QVERIFY(folders.defaultDataFolder);
        QVERIFY(QFileInfo::exists(RecordPath()));
    }

    void AStorageNamingAFileFallsBackToTheUserFolder()
    {
        WriteFile(m_sProgram + "data", "not a folder");
        WriteFile(m_sProgram + "SavePath.ini", "ApplicationStorage=\"data\"\r\n");
        QCOMPARE(QString::fromStdString(ResolveFolders(ProgramFile(), "").appDir), UserDataFolder());
    }

    void ARecordOfTheSameVersionIsLeftAlone()
    {
        QDir().mkpath(m_sShared + "Quenstead/Rowmover");
        const QByteArray old = "InstallationDirectory=\"/opt/old/\"\r\nVersion=\"Version 1.600 (09.01.2019)\"\r\n"
                               "InstallDate=\"2019-01-09 10:00:00\"\r\n";
        WriteFile(RecordPath(), old);
        ResolveFolders(ProgramFile(), "");
        QCOMPARE(ReadFile(RecordPath()), old);
    }

    void ARecordOfAnotherVersionIsRewritten()
    {
        QDir().mkpath(m_sShared + "Quenstead/Rowmover");
        WriteFile(RecordPath(), "Version=\"Version 1.500 (01.01.2017)\"\r\nInstallDate=\"2017-01-01 10:00:00\"\r\n");
        ResolveFolders(ProgramFile(), "");
        const QString record = QString::fromUtf8(ReadFile(RecordPath()));
        QVERIFY(record.startsWith("InstallationDirectory=\"" + m_sProgram + "\""));
        QVERIFY(record.contains("Version=\"Version 1.600 (09.01.2019)\""));
        QVERIFY(!record.contains("2017"));
    }

    void AnUnwritableSharedFolderKeepsTheRecordInTheStateFolder()
    {
        WriteFile(m_sShared + "blocked", "a file where a folder should be");
        qputenv("XDG_DATA_DIRS", (m_sShared + "blocked").toUtf8());
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.appDir), UserDataFolder());
        const QString record = QString::fromUtf8(ReadFile(m_sState + "rowmover/Installation.ini"));
        QVERIFY2(record.startsWith("InstallationDirectory=\"" + m_sProgram + "\""), qPrintable(record));
    }

    // Beside the program (a build folder) first, then the installed
    // layout's share/rowmover beside its bin folder.
    void TheLanguageFilesAreFoundBesideTheProgramBeforeTheInstalledLayout()
    {
        const struct
        {
            bool beside;
            bool installed;
            const char* expected;
        } cases[] = {
            {true, true, "bin/"},
            {false, true, "share/rowmover/"},
            {true, false, "bin/"},
            {false, false, "bin/"},
        };
        for (const auto& c : cases)
        {
            QTemporaryDir prefix;
            const QString root = prefix.path() + "/";
            QDir().mkpath(root + "bin");
            QDir().mkpath(root + "share/rowmover");
            WriteFile(root + "bin/rowmover", "program");
            if (c.beside)
                WriteFile(root + "bin/Languages.ini", "German=\"German.lng\"\r\n");
            if (c.installed)
                WriteFile(root + "share/rowmover/Languages.ini", "German=\"German.lng\"\r\n");
            const SStartupFolders folders = ResolveFolders((root + "bin/rowmover").toStdString(), "");
            QCOMPARE(QString::fromStdString(folders.homeBase), root + c.expected);
        }
    }

    void AWritableProgramFolderKeepsTheRunFiles()
    {
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QCOMPARE(QString::fromStdString(folders.runFiles), m_sProgram);
        QCOMPARE(QString::fromStdString(RunFilesNote(folders)), QString());
    }

    void AnUnwritableProgramFolderSendsTheRunFilesToTheStateFolder()
    {
        if (geteuid() == 0)
            QSKIP("every folder can be written by root; the unprivileged stage of ./test covers this");
        QFile::setPermissions(m_sProgram, QFile::ReadOwner | QFile::ExeOwner);
        const SStartupFolders folders = ResolveFolders(ProgramFile(), "");
        QFile::setPermissions(m_sProgram, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(QString::fromStdString(folders.runFiles), m_sState + "rowmover/");
        QVERIFY(QFileInfo(m_sState + "rowmover/").isDir());
        const QString note = QString::fromStdString(RunFilesNote(folders));
        QVERIFY2(note.contains(m_sProgram) && note.contains(m_sState + "rowmover/"), qPrintable(note));
    }

    // Root writes every folder; one that cannot be written at all for him
    // is one that is not there.
    void AProgramFolderThatCannotTakeFilesSendsThemToTheStateFolder()
    {
        const std::string gone = (m_sProgram + "gone/").toStdString();
        QCOMPARE(QString::fromStdString(RunFilesFolder(gone)), m_sState + "rowmover/");
        SStartupFolders folders;
        folders.homeBase = gone;
        folders.runFiles = RunFilesFolder(gone);
        QCOMPARE(QString::fromStdString(RunFilesNote(folders)),
                 "rowmover: the program folder " + m_sProgram +
                     "gone/ cannot be written; this run's error file and "
                     "the destination's copy go to " +
                     m_sState + "rowmover/");
        // Without a state folder either, the program folder stays.
        const QString blocked = m_root->path() + "/blocked";
        WriteFile(blocked, "a file where the state folder should be");
        qputenv("XDG_STATE_HOME", blocked.toUtf8());
        QCOMPARE(QString::fromStdString(RunFilesFolder(gone)), QString::fromStdString(gone));
    }

    void TheStateFolderFollowsXdgStateHomeOrLiesBelowHome()
    {
        QCOMPARE(QString::fromStdString(UserStateFolder()), m_sState + "rowmover/");
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(QString::fromStdString(UserStateFolder()), m_sHome + ".local/state/rowmover/");
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(QString::fromStdString(UserStateFolder()), m_sHome + ".local/state/rowmover/");
    }

    void WithoutAProgramFolderTheFirstArgumentIsMadeAFullPath()
    {
        QDir().mkpath(m_sHome + "bin");
        const QString current = QDir::currentPath();
        QDir::setCurrent(m_sHome);
        const SStartupFolders folders = ResolveFolders("/no/such/folder/rowmover", "bin/../bin/rowmover");
        QDir::setCurrent(current);
        QCOMPARE(QString::fromStdString(folders.homeBase), m_sHome + "bin/");
    }

    void AnEmptyProgramFileAlsoFallsBackToTheFirstArgument()
    {
        const SStartupFolders folders = ResolveFolders("", (m_sProgram + "rowmover").toStdString());
        QCOMPARE(QString::fromStdString(folders.homeBase), m_sProgram);
    }

    void TheRunningProgramFileIsThisTest()
    {
        QCOMPARE(QString::fromStdString(RunningProgramFile()),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    }
};

int main(int argc, char** argv)
{
    // Nothing of the test process, Qt included, reaches the real home.
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        qputenv(name, home.path().toUtf8());
    qputenv("XDG_DATA_DIRS", home.path().toUtf8());
    QCoreApplication application(argc, argv);
    CStartupFoldersTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "CStartupFoldersTest.moc"
