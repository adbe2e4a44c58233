#include "app/CLogWindow.h"

#include "app/COutputList.h"
#include "app/FileDialogs.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

using app::CLogWindow;
using testsupport::TempDir;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Answers the save dialog as a user would, and remembers what it was asked.
class AnsweringDialogs : public app::FileDialogs {
public:
    explicit AnsweringDialogs(QString answer) : m_answer(std::move(answer)) {}
    QString saveFileName(QWidget*, const QString&, const QString& initialName, const QString& filter) override
    {
        ++m_asked;
        m_initialName = initialName;
        m_filter = filter;
        return m_answer;
    }
    QString m_answer;
    QString m_initialName;
    QString m_filter;
    int m_asked = 0;
};

TEST(CLogWindowTest, SavedBytesAreUtf16LittleEndianWithCrLfAfterEveryLine)
{
    const struct {
        const char* name;
        QStringList lines;
        QByteArray bytes;
    } cases[] = {
        {"no lines", {}, QByteArray()},
        {"an empty line is a bare line end", {QString()}, QByteArray("\r\0\n\0", 4)},
        {"ASCII", {"Grisolt", ""}, QByteArray("G\0r\0i\0s\0o\0l\0t\0\r\0\n\0\r\0\n\0", 22)},
        {"beyond Latin-1", {QString::fromUtf8("ü€")}, QByteArray("\xFC\x00\xAC\x20\r\0\n\0", 8)},
        {"a surrogate pair stays two units", {QString::fromUtf8("\xF0\x9F\x98\x80")},
         QByteArray("\x3D\xD8\x00\xDE\r\0\n\0", 8)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLogWindow::SavedBytes(c.lines).toHex(' '), c.bytes.toHex(' ')) << c.name;
}

TEST(CLogWindowTest, SaveWritesTheLinesInOrderAndReplacesALongerFile)
{
    TempDir dir;
    const QString path = dir.write("old.log", QByteArray(1000, 'x'));
    CLogWindow log;
    log.AppendLine("Grisolt");
    log.AppendLine(QString());
    log.AppendLine("Database :  fx_objects");
    log.AppendLine(QString(5000, QLatin1Char('w'))); // wider than any pane, saved whole
    QString error;
    ASSERT_TRUE(log.SaveLog(path, &error)) << error.toStdString();
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(bytes, CLogWindow::SavedBytes(log.lines()));
    EXPECT_EQ(bytes.size(), (7 + 2 + 0 + 2 + 22 + 2 + 5000 + 2) * 2);
    EXPECT_FALSE(bytes.startsWith("\xFF\xFE")); // no byte-order mark
}

TEST(CLogWindowTest, ChosenNamesGetTheLogSuffixUnlessTheyEndInIt)
{
    const struct {
        const char* chosen;
        const char* saved;
    } cases[] = {
        {"/tmp/report", "/tmp/report.log"},
        {"/tmp/report.log", "/tmp/report.log"},
        {"/tmp/report.LOG", "/tmp/report.LOG"},
        {"/tmp/report.Log", "/tmp/report.Log"},
        {"/tmp/report.log.txt", "/tmp/report.log.txt.log"},
        {"/tmp/report.", "/tmp/report..log"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLogWindow::SavePathFor(c.chosen).toStdString(), c.saved) << c.chosen;
}

TEST(CLogWindowTest, SaveCommandAsksForAFileAndConfirmsAnOverwrite)
{
    TempDir dir;
    CLogWindow log;
    log.AppendLine("line");
    int questions = 0;
    QString question;
    bool answer = false;
    auto confirm = [&](const QString& text) {
        ++questions;
        question = text;
        return answer;
    };

    AnsweringDialogs cancel{QString()};
    EXPECT_EQ(log.SaveLogCommand(cancel, confirm), CLogWindow::SaveResult::Cancelled);
    EXPECT_EQ(cancel.m_initialName, "ZUKA.log");
    EXPECT_EQ(cancel.m_filter, "All Files(*.log)");

    AnsweringDialogs fresh{dir.file("fresh")};
    EXPECT_EQ(log.SaveLogCommand(fresh, confirm), CLogWindow::SaveResult::Saved);
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(readAll(dir.file("fresh.log")), CLogWindow::SavedBytes({"line"}));

    const QString existing = dir.write("kept.log", QByteArray("old contents"));
    AnsweringDialogs overwrite{dir.file("kept")};
    answer = false;
    EXPECT_EQ(log.SaveLogCommand(overwrite, confirm), CLogWindow::SaveResult::NotOverwritten);
    EXPECT_EQ(question, "File already exist.Do you want to overwrite ?");
    EXPECT_EQ(readAll(existing), "old contents");
    answer = true;
    EXPECT_EQ(log.SaveLogCommand(overwrite, confirm), CLogWindow::SaveResult::Saved);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(readAll(existing), CLogWindow::SavedBytes({"line"}));
}

TEST(CLogWindowTest, AFileThatCannotBeWrittenIsReportedAndNothingChanges)
{
    TempDir dir;
    CLogWindow log;
    log.AppendLine("line");
    AnsweringDialogs missingFolder{dir.file("no/such/folder/x.log")};
    QString error;
    EXPECT_EQ(log.SaveLogCommand(missingFolder, nullptr, &error), CLogWindow::SaveResult::Failed);
    EXPECT_TRUE(error.contains(dir.file("no/such/folder/x.log"))) << error.toStdString();
    EXPECT_EQ(log.lines(), QStringList{"line"});
}

TEST(CLogWindowTest, ClearLeavesTheTitleAloneAndThePaneCannotBeClosed)
{
    CLogWindow log;
    EXPECT_EQ(log.windowTitle(), "Log Window");
    EXPECT_FALSE(log.features() & QDockWidget::DockWidgetClosable);
    log.AppendLine("Grisolt");
    log.AppendLine(QString());
    log.AppendLine("a");
    EXPECT_EQ(log.lines(), (QStringList{"Grisolt", "", "a"}));
    log.ClearLog();
    EXPECT_EQ(log.lines(), QStringList{"Grisolt"});
    EXPECT_EQ(log.output().count(), 1);
}

} // namespace
