#pragma once

// The shell under test: the real application object (made once per test
// program by AppTestMain.cpp, started as the program starts, on a registry
// file and runtime folder of its own), its main window and its engine.

#include "app/CLeftView.h"
#include "app/CMainFrame.h"
#include "app/CRecoveryThread.h"
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/dialogs/UserMessage.h"
#include "app/controls/CColorButton.h"
#include "engine/MySqlRepair.h"

#include <QApplication>
#include <QDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace shelltest {

// One report as the main window handled it.
struct Handled {
    unsigned message;
    quintptr wParam;
    qintptr lParam;
    QString text; // the pending message text when it was handled
    bool onGuiThread;
};

// Records every report the main window handles.
class ReportRecorder {
public:
    explicit ReportRecorder(app::CMainFrame& frame)
    {
        m_connection = QObject::connect(&frame, &app::CMainFrame::reportHandled, &frame,
                                        [this](unsigned message, quintptr w, qintptr l) {
                                            m_handled.push_back({message, w, l, app::theApp().message(),
                                                                 QThread::currentThread() == qApp->thread()});
                                        });
    }
    ~ReportRecorder() { QObject::disconnect(m_connection); }

    // The reports other than log lines and progress.
    std::vector<unsigned> messages() const
    {
        std::vector<unsigned> out;
        for (const Handled& h : m_handled)
            if (h.message != engine::WM_APPEND_LOG && h.message != engine::WM_STATUS_PROGRESS)
                out.push_back(h.message);
        return out;
    }
    QStringList log() const
    {
        QStringList out;
        for (const Handled& h : m_handled)
            if (h.message == engine::WM_APPEND_LOG)
                out << h.text;
        return out;
    }
    // Progress as B<total>, S<steps summed over a run of batches>, E.
    QStringList progress() const
    {
        QStringList out;
        for (const Handled& h : m_handled) {
            if (h.message != engine::WM_STATUS_PROGRESS)
                continue;
            if (h.wParam == engine::PROGRESS_BEGIN)
                out << QStringLiteral("B%1").arg(h.lParam);
            else if (h.wParam == engine::PROGRESS_END)
                out << QStringLiteral("E");
            else if (!out.isEmpty() && out.last().startsWith(QLatin1Char('S')))
                out.last() = QStringLiteral("S%1").arg(out.last().mid(1).toLongLong() + h.lParam);
            else
                out << QStringLiteral("S%1").arg(h.lParam);
        }
        return out;
    }
    bool allOnGuiThread() const
    {
        for (const Handled& h : m_handled)
            if (!h.onGuiThread)
                return false;
        return true;
    }

    std::vector<Handled> m_handled;

private:
    QMetaObject::Connection m_connection;
};

// Answers the message boxes that open while it lives: records each text and
// whether it ran on the GUI thread, then presses OK.
class BoxAnswerer {
public:
    BoxAnswerer()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<app::UserMessage*>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_texts << box->text();
            m_onGuiThread = m_onGuiThread && box->thread() == qApp->thread()
                && QThread::currentThread() == qApp->thread();
            box->okButton()->click();
        });
        m_timer.start();
    }
    QStringList m_texts;
    bool m_onGuiThread = true;

private:
    QTimer m_timer;
};

// Puts the shared state back as start-up leaves it, between tests.
inline void resetShell()
{
    app::CVeltraxMySqlRecoveryApp& a = app::theApp();
    ASSERT_TRUE(a.WaitForJob(120000));
    a.repair().ClearDatabaseInfo();
    a.m_bRepair = false;
    a.m_bStop = false;
    a.m_bPageRequest = false;
    a.m_bDefaultLocation = false;
    a.m_bManualFolder = false;
    a.m_bAllSelected = false;
    a.m_bSomeSelected = false;
    a.m_selectedDatabases.clear();
    a.FreeDataFolderRecords();
    a.m_strDataFolder.clear();
    a.m_strIbdataPath.clear();
    a.mainFrame()->m_loginDialog = nullptr;
    a.mainFrame()->m_databaseListDialog = nullptr;
}

// The fixture data folder written by the server with its defaults; another
// build folder's fixtures when $GRISOLT_FIXTURES_DIR names them (the thread
// checker's build reuses those of the test build).
inline QString fixtureData()
{
    const QString fromEnv = qEnvironmentVariable("GRISOLT_FIXTURES_DIR");
    return (fromEnv.isEmpty() ? QStringLiteral(GRISOLT_FIXTURES_DIR) : fromEnv) + QStringLiteral("/default/data/");
}

// The log pane's lines that the shell's scan job added, on the data folder
// dataFolder (ending in a slash) with only its database database chosen.
inline QStringList scanLogLines(const QString& dataFolder, const QString& database)
{
    resetShell();
    app::CMainFrame& frame = *app::theApp().mainFrame();
    frame.leftView()->ResetTree();
    const qsizetype before = frame.logLines().size();
    app::theApp().m_bManualFolder = true;
    app::theApp().m_strDataFolder = dataFolder;
    app::theApp().m_strIbdataPath = dataFolder + QStringLiteral("ibdata1");
    frame.m_databaseListDialog = [database] {
        for (const auto& record : app::theApp().m_dataFolders)
            for (const QString& folder : record.m_databaseFolders)
                if (QDir(folder).dirName() == database)
                    app::theApp().m_selectedDatabases << folder;
        app::theApp().FreeDataFolderRecords();
        return true;
    };
    EXPECT_TRUE(app::theApp().StartJob(app::theApp().NewWorker()));
    EXPECT_TRUE(app::theApp().WaitForJob(120000));
    const QStringList lines = frame.logLines().mid(before);
    resetShell();
    frame.leftView()->ResetTree();
    return lines;
}

} // namespace shelltest
