#include "tests/tools/DialogScreens.h"

#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/FileDialogs.h"
#include "app/controls/CMyTab.h"
#include "app/controls/CSymbolEdit.h"
#include "app/dialogs/CAboutDlg.h"
#include "app/dialogs/CConDlg.h"
#include "app/dialogs/CDatabaseListDlg.h"
#include "app/dialogs/CDlgIbdataFilePath.h"
#include "app/dialogs/CEulaDlg.h"
#include "app/dialogs/CFindTreeItem.h"
#include "app/dialogs/StartUpDialog.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {

class NoFileDialogs : public app::FileDialogs {
public:
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

class Shooter {
public:
    explicit Shooter(const QString& outDir) : m_dir(outDir) { QDir().mkpath(outDir); }
    void shoot(QWidget& widget, const QString& name, QSize size = QSize())
    {
        if (size.isValid())
            widget.resize(size);
        else
            widget.adjustSize();
        widget.show();
        QApplication::processEvents();
        const QString path = m_dir.filePath(name + QStringLiteral(".png"));
        widget.grab().save(path);
        m_written << path;
        widget.hide();
    }
    QStringList m_written;

private:
    QDir m_dir;
};

QString sampleValue(const QString& name)
{
    static const QHash<QString, QString> values{
        {QStringLiteral("Version"), QStringLiteral("1.0")},
        {QStringLiteral("HomePageText"), QStringLiteral("www.example.org")},
        {QStringLiteral("EmailSupText"), QStringLiteral("support@example.org")},
        {QStringLiteral("SalesText"), QStringLiteral("sales@example.org")},
        {QStringLiteral("Tel1"), QStringLiteral("Phone")},
        {QStringLiteral("Tel1Val"), QStringLiteral("+1 555 0100")},
        {QStringLiteral("Tel2"), QStringLiteral("Fax")},
        {QStringLiteral("Tel2Val"), QStringLiteral("+1 555 0101")},
        {QStringLiteral("Messenger"), QStringLiteral("Chat")},
        {QStringLiteral("MessengerVal"), QStringLiteral("grisolt-support")},
    };
    return values.value(name);
}

void shootPreview(Shooter& shooter, engine::AppState& app, engine::MySqlRepair& repair)
{
    app::CVeltraxMySqlRecoveryView view(app, repair);
    view.resize(900, 520);
    shooter.shoot(view, QStringLiteral("preview-empty"), view.size());
    view.SetViewMode(app::CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    std::vector<engine::tempColInfo> columns(4);
    const char* names[] = {"code", "note", "qty", "created"};
    for (int i = 0; i < 4; ++i)
        columns[static_cast<std::size_t>(i)].m_name = QString::fromLatin1(names[i]);
    view.OnPreviewColumns(columns, 900);
    for (int r = 1; r <= 30; ++r) {
        repair.m_pageRows.push_back({QStringLiteral("code"), QString::number(r)});
        repair.m_pageRows.push_back({QStringLiteral("note"), r % 7 ? QStringLiteral("row %1").arg(r) : QStringLiteral("null")});
        repair.m_pageRows.push_back({QStringLiteral("qty"), QString::number(r * 10)});
        repair.m_pageRows.push_back({QStringLiteral("created"), QStringLiteral("2024-01-%1 10:00:00").arg(r, 2, 10, QLatin1Char('0'))});
    }
    app.m_nRecordsLeft = 250;
    app.m_nPageRecords = 100;
    view.OnPreviewTable(repair.m_pageRows);
    engine::TableInformation table;
    table.m_name = QStringLiteral("pk_not_first");
    const struct {
        const char* name;
        const char* type;
        std::uint32_t length;
        const char* null;
    } defs[] = {{"note", "varchar", 30, "null"}, {"qty", "int", 11, "not null"}, {"code", "int", 11, "not null"},
                {"created", "datetime", 19, "null"}};
    for (const auto& d : defs) {
        engine::ColumnInformation& c = table.AddColumn();
        c.m_name = QString::fromLatin1(d.name);
        c.m_typeName = QString::fromLatin1(d.type);
        c.m_length = d.length;
        c.m_nullText = QString::fromLatin1(d.null);
    }
    table.m_keyParts = {{3, 1, QStringLiteral("Primary Key"), 0}, {2, 1, QStringLiteral("Key"), 0}};
    view.FillPropertiesList(table);
    shooter.shoot(view, QStringLiteral("preview-table-data"), view.size());
    // The second of three pages: Previous and Next both on.
    app.m_nPage = 1;
    app.m_nRecordsLeft = 150;
    app.m_nPageCount = 2;
    for (int r = 101; r <= 130; ++r)
        for (const char* name : names)
            repair.m_pageRows.push_back({QString::fromLatin1(name), QString::number(r)});
    view.OnPreviewTable(repair.m_pageRows);
    shooter.shoot(view, QStringLiteral("preview-paging"), view.size());
    view.m_pTab->setCurrentIndex(1);
    shooter.shoot(view, QStringLiteral("preview-properties"), view.size());

    view.SetViewMode(app::CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT);
    view.OnShowObjectText(QStringLiteral(
        "DELIMITER $$ \\nCREATE DEFINER=`root`@`localhost` TRIGGER orders_ai AFTER INSERT ON orders FOR EACH ROW\\n"
        "BEGIN\\n  INSERT INTO order_log (order_id, note) VALUES (NEW.id, 'created');\\nEND; $$\\nDELIMITER ;"));
    shooter.shoot(view, QStringLiteral("preview-text"), view.size());
}

} // namespace

int renderDialogScreens(const QString& outDir)
{
    Shooter shooter(outDir);
    engine::AppState app;
    engine::MySqlRepair repair(app);
    NoFileDialogs files;

    app::CConDlg login;
    login.show();
    login.m_edtUser->setText(QStringLiteral("root"));
    login.m_edtHost->setText(QStringLiteral("127.0.0.1"));
    login.m_edtPassword->setText(QStringLiteral("secret;{x}"));
    shooter.shoot(login, QStringLiteral("login"));

    app.m_bServiceFound = true;
    app::StartUpDialog startUp(app, &repair, files);
    shooter.shoot(startUp, QStringLiteral("startup-default"));
    app.m_bServiceFound = false;
    startUp.show();
    startUp.m_edtFolder->setText(QStringLiteral("/srv/rescue/data"));
    shooter.shoot(startUp, QStringLiteral("startup-manual"));

    app::CDlgIbdataFilePath picker(app, files);
    picker.m_edtPath->setText(QStringLiteral("/srv/rescue/ibdata1"));
    shooter.shoot(picker, QStringLiteral("ibdata-path"));

    for (int services : {1, 2}) {
        engine::DataFolderRecord& record = app.AddDataFolderRecord();
        record.m_folder = QStringLiteral("/var/lib/mysql/");
        for (const char* db : {"mysql", "shop", "crm", "accounting_2023", "test"})
            record.m_databaseFolders << QStringLiteral("/var/lib/mysql/") + QLatin1String(db) + QLatin1Char('/');
        app::CDatabaseListDlg databases(app, repair);
        databases.m_nServiceCount = services;
        databases.show();
        databases.OnSelectAll();
        shooter.shoot(databases, services == 1 ? QStringLiteral("database-list") : QStringLiteral("database-list-folders"));
        app.FreeDataFolderRecords();
    }

    app::CFindTreeItem findBar;
    findBar.m_editFind->setText(QStringLiteral("orders"));
    shooter.shoot(findBar, QStringLiteral("find-bar"));

    app::CAboutDlg about(&sampleValue);
    shooter.shoot(about, QStringLiteral("about"));
    app::CEulaDlg eula;
    for (int i = 1; i <= 12; ++i)
        eula.m_lstText->addItem(QStringLiteral("%1. Sample licence line for the screen shot.").arg(i));
    shooter.shoot(eula, QStringLiteral("eula"), eula.size());

    shootPreview(shooter, app, repair);
    return static_cast<int>(shooter.m_written.size());
}
