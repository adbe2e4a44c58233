#include "tests/tools/UpdaterScreens.h"

#include "tests/updater/UpdaterTestBed.h"
#include "updater/CAutoUpdater.h"
#include "updater/CUpdateFinalPage.h"
#include "updater/CUpdateProcessPage.h"
#include "updater/CUpdatePropertySheet.h"
#include "updater/UpdaterHost.h"

#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int kWaitMs = 15000;

// A program that is idle and keeps the wizard's requests to itself.
class QuietHost : public updater::UpdaterHost {
public:
    explicit QuietHost(QString temp) : m_temp(std::move(temp)) {}
    bool isJobRunning() const override { return false; }
    QString tempFolder() const override { return m_temp; }
    void openUrl(const QUrl&) override {}
    void showMessage(QWidget*, const QString&) override {}
    void quitProgram() override {}

private:
    QString m_temp;
};

bool save(QWidget& window, const QString& outDir, const char* name)
{
    QTest::qWait(50); // let the last texts paint
    return window.grab().save(QDir(outDir).filePath(QLatin1String(name)));
}

} // namespace

int renderUpdaterScreens(const QString& outDir)
{
    QDir().mkpath(outDir);
    testsupport::UpdaterTestBed bed;
    bed.setValue(QStringLiteral("Version"), QStringLiteral("3.0.0.1"));
    bed.setValue(QStringLiteral("ExeName"), QStringLiteral("slow-grisolt"));
    bed.publish(QStringLiteral("slow-grisolt"), QStringLiteral(".txt"), "3.0.0.2 Faster scans\n");
    bed.publish(QStringLiteral("slow-grisolt"), QStringLiteral(".exe"), testsupport::randomBytes(600 * 1024, 7));
    if (bed.server().port() == 0)
        return 0;

    updater::CAutoUpdater checker;
    checker.setOnlineProbe([](const QUrl&) { return true; });
    QuietHost host(bed.tempFolder());
    updater::CUpdatePropertySheet sheet(checker, host);
    sheet.show();
    int written = 0;
    written += save(sheet, outDir, "updater-1-welcome.png");

    sheet.nextButton()->click();
    if (!QTest::qWaitFor([&] { return !sheet.m_pageProcess->isChecking() && sheet.backButton()->isEnabled(); },
                         kWaitMs))
        return written;
    written += save(sheet, outDir, "updater-2-check.png");

    sheet.nextButton()->click();
    QProgressBar& bar = *sheet.m_pageFinal->m_progress;
    if (QTest::qWaitFor([&] { return bar.maximum() > 0 && bar.value() > bar.maximum() * 2 / 5; }, kWaitMs))
        written += save(sheet, outDir, "updater-3-download.png");
    sheet.reject(); // ends the download and its thread
    return written;
}
