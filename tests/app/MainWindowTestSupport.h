#pragma once

// What the main window's tests share: a private program folder and data
// folder, the window started as the program starts it, its children by
// name, and the messages written while no display can show a box.

#include "app/CRowmoverDlg.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline std::u16string Wide(const std::string& text)
{
    return QString::fromStdString(text).toStdU16String();
}

template <typename T> T* Child(QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        qFatal("no child %s", name);
    return child;
}

// A program folder with the licence and change texts, and a data folder,
// both inside one temporary folder that goes with the object.
struct SMainWindowFolders
{
    std::unique_ptr<QTemporaryDir> root = std::make_unique<QTemporaryDir>();
    QString sProgram = root->path() + "/program/";
    QString sConfig = root->path() + "/config/";

    SMainWindowFolders()
    {
        QDir().mkpath(sProgram);
        qputenv("XDG_CONFIG_HOME", sConfig.toUtf8());
        qputenv("XDG_DATA_DIRS", (root->path() + "/share").toUtf8());
        WriteFile(sProgram + "rowmover", "program");
        WriteFile(sProgram + "License.txt", "licence");
        WriteFile(sProgram + "ReadMe.txt", "changes");
    }

    QString DataFolder() const { return sConfig + "Quenstead/Rowmover/"; }

    // The question before a copy is its own test's business; the other
    // tests copy without it.
    std::unique_ptr<CRowmoverDlg> Start(bool askBeforeCopy = false) const
    {
        auto dialog =
            std::make_unique<CRowmoverDlg>((sProgram + "rowmover").toStdString(), std::vector<std::string>{"rowmover"});
        dialog->m_bAskBeforeCopy = askBeforeCopy;
        dialog->show();
        return dialog;
    }
};

// Collects what is written to the error stream, where message boxes go
// when no display can show them, so a test sees every box in order.
class CStderrCapture
{
  public:
    CStderrCapture()
    {
        std::fflush(stderr);
        m_nSaved = ::dup(2);
        m_pFile = std::tmpfile();
        ::dup2(::fileno(m_pFile), 2);
    }
    ~CStderrCapture()
    {
        Restore();
        std::fclose(m_pFile);
    }
    CStderrCapture(const CStderrCapture&) = delete;
    CStderrCapture& operator=(const CStderrCapture&) = delete;

    // Everything written so far; ends the capture.
    QString Text()
    {
        Restore();
        std::rewind(m_pFile);
        QByteArray bytes;
        char buffer[4096];
        for (size_t read = 0; (read = std::fread(buffer, 1, sizeof buffer, m_pFile)) > 0;)
            bytes.append(buffer, static_cast<qsizetype>(read));
        return QString::fromUtf8(bytes);
    }

  private:
    void Restore()
    {
        if (m_nSaved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_nSaved, 2);
        ::close(m_nSaved);
        m_nSaved = -1;
    }

    int m_nSaved = -1;
    std::FILE* m_pFile = nullptr;
};

// Runs the test class with a private home and no display.
#define MAIN_WINDOW_TEST_MAIN(TestClass)                                                                               \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        QTemporaryDir home;                                                                                            \
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})                        \
            qputenv(name, home.path().toUtf8());                                                                       \
        qputenv("XDG_DATA_DIRS", home.path().toUtf8());                                                                \
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());                                                              \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                                       \
        QApplication application(argc, argv);                                                                          \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
