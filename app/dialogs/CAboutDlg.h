#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

namespace app {

// The About box: product name and version, three links, the contact lines
// and a few facts of the system. Its texts come from the product's registry
// values ("Version", "HomePageText", "HomePage", "Tel1", "Tel1Val", ...).
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // A product value by its registry name; by default read from the
    // product key of the registry.
    using ProductValue = std::function<QString(const QString& name)>;
    static QString RegistryProductValue(const QString& name);

    explicit CAboutDlg(ProductValue value = &CAboutDlg::RegistryProductValue, QWidget* parent = nullptr);

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

private:
    QLabel* MakeLink(const QString& text, void (CAboutDlg::*handler)());
    static void ShowVisited(QLabel* link);

    ProductValue m_value;
};

} // namespace app
