#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

namespace app {

// The About box: product name and version, three links, the contact lines
// and a few facts of the system. Its texts are the product values the
// program read at start-up ("Version", "HomePageText", "HomePage", "Tel1",
// "Tel1Val", ...).
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // A product value by its registry name.
    using ProductValue = std::function<QString(const QString& name)>;

    explicit CAboutDlg(ProductValue value, QWidget* parent = nullptr);

    void OnHomePageLink();
    void OnSupportMailLink();
    void OnSalesMailLink();
    void OnEula();

    // "<major>. <minor>.<patch>" of the running kernel.
    static QString VersionText();

    bool m_bHomePageVisited = false;
    bool m_bSupportMailVisited = false;
    bool m_bSalesMailVisited = false;

    QLabel* m_lnkHomePage = nullptr;
    QLabel* m_lnkSupportMail = nullptr;
    QLabel* m_lnkSalesMail = nullptr;
    QLabel* m_stcVersion = nullptr;
    QLabel* m_stcComputer = nullptr;
    QLabel* m_stcOs = nullptr;
    QLabel* m_stcOsVersion = nullptr;
    QLabel* m_stcServicePack = nullptr;
    QPushButton* m_btnEula = nullptr;
    QPushButton* m_btnOK = nullptr;
    // The contact rows: label and value.
    QList<QPair<QLabel*, QLabel*>> m_contacts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* MakeLink(const QString& text, void (CAboutDlg::*handler)());
    static void ShowVisited(QLabel* link);

    ProductValue m_value;
    QHash<QLabel*, void (CAboutDlg::*)()> m_links;
};

} // namespace app
