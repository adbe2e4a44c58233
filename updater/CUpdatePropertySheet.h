#pragma once

#include <QDialog>

class QPushButton;
class QStackedWidget;

namespace updater {

class CAutoUpdater;
class CUpdateFinalPage;
class CUpdateProcessPage;
class CUpdateStartPage;
class UpdaterHost;

// The update wizard: welcome, check and download pages with Back,
// Next (or Finish in its place) and Cancel. Closing it by any way but
// Finish counts as Cancel; its destruction ends a running download.
class CUpdatePropertySheet : public QDialog {
    Q_OBJECT
public:
    CUpdatePropertySheet(CAutoUpdater& updater, UpdaterHost& host, QWidget* parent = nullptr);
    ~CUpdatePropertySheet() override;

    CUpdateStartPage* m_pageStart = nullptr;
    CUpdateProcessPage* m_pageProcess = nullptr;
    CUpdateFinalPage* m_pageFinal = nullptr;
    // Set by Cancel (or the close box) on any page.
    bool m_bUpdateCancelled = false;

    QPushButton* backButton() const { return m_btnBack; }
    QPushButton* nextButton() const { return m_btnNext; }
    QPushButton* finishButton() const { return m_btnFinish; }
    QPushButton* cancelButton() const { return m_btnCancel; }
    QWidget* currentPage() const;

    // Button control for the pages.
    void setBackEnabled(bool enabled);
    void setBackVisible(bool visible);
    void setNextEnabled(bool enabled);
    // Finish in place of Next.
    void showFinish();
    void goNext();
    void goBack();

    // The installer a complete download left, or empty text.
    QString setupPath() const;

public slots:
    void reject() override;

private:
    void activate(int index);
    void onNext();
    void onBack();

    QStackedWidget* m_stack = nullptr;
    QPushButton* m_btnBack = nullptr;
    QPushButton* m_btnNext = nullptr;
    QPushButton* m_btnFinish = nullptr;
    QPushButton* m_btnCancel = nullptr;
};

} // namespace updater
