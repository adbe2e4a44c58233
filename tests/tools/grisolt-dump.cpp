// grisolt-dump DATADIR [IBDATA1]
// Runs the engine's scan on every database of a data folder, without the
// GUI, and prints the model as plain text, one item a line, fields separated
// by a tab (a tab, newline or backslash inside a field written \t, \n, \\).
// Log lines go to standard error.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QString escaped(QString field)
{
    field.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    field.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    field.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return field;
}

class ConsoleReport : public engine::ReportWindow {
public:
    explicit ConsoleReport(const engine::AppState& app) : m_app(app) {}
    long SendMessage(unsigned message, std::uintptr_t, std::intptr_t) override
    {
        if (message == engine::WM_APPEND_LOG)
            std::fprintf(stderr, "%s\n", qPrintable(m_app.message()));
        return 0;
    }
    void ShowUserMessage(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }

private:
    const engine::AppState& m_app;
};

// The file name less its folder and the given extension.
QString objectLabel(const QString& path, const QString& extension)
{
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.endsWith(extension, Qt::CaseInsensitive))
        name.chop(extension.size());
    return name;
}

class Printer {
public:
    explicit Printer(QTextStream& out) : m_out(out) {}
    void line(const QStringList& fields)
    {
        QStringList cells;
        for (const QString& field : fields)
            cells << escaped(field);
        m_out << cells.join(QLatin1Char('\t')) << '\n';
    }

private:
    QTextStream& m_out;
};

void printTable(Printer& print, const engine::TableInformation& table)
{
    print.line({QStringLiteral("table"), table.m_name, table.m_engine, QString::number(table.m_rootPage)});
    QStringList columnNames;
    for (const auto& column : table.columns()) {
        columnNames << column->m_name;
        print.line({QStringLiteral("column"), column->m_name, column->m_typeName, QString::number(column->m_length),
                    QString::number(column->m_scale), column->m_nullText, column->m_signText, column->m_defaultText,
                    column->m_members.join(QLatin1Char(','))});
    }
    for (const auto& part : table.m_keyParts) {
        const int index = part.m_column - 1;
        const QString name = index >= 0 && index < columnNames.size() ? columnNames[index] : QString();
        print.line({QStringLiteral("key"), part.m_kind, name});
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: grisolt-dump DATADIR [IBDATA1]\n");
        return 2;
    }
    engine::AppState app;
    engine::MySqlRepair repair(app);
    ConsoleReport report(app);
    repair.m_hWndReport = &report;
    repair.m_hWndScanProgress = &report;

    QString folder = args[1];
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    app.m_bManualFolder = true;
    app.m_strDataFolder = folder;
    app.m_strIbdataPath = args.size() == 3 ? args[2] : folder + QStringLiteral("ibdata1");

    repair.ListDatabaseFolders();
    if (!repair.m_bDatabaseFound) {
        std::fprintf(stderr, "No database present in data folder.\n");
        return 1;
    }
    for (const auto& record : app.m_dataFolders)
        app.m_selectedDatabases << record.m_databaseFolders;
    repair.ScanDataFolder();

    QTextStream out(stdout);
    Printer print(out);
    for (const auto& database : repair.m_databases) {
        print.line({QStringLiteral("database"), database->m_name});
        for (const auto& table : database->m_tables)
            printTable(print, *table);
        for (const QString& view : database->m_viewFiles)
            print.line({QStringLiteral("view"), objectLabel(view, QStringLiteral(".frm"))});
        for (const QString& trigger : database->m_triggerFiles)
            print.line({QStringLiteral("trigger"), objectLabel(trigger, QStringLiteral(".TRG"))});
    }
    return 0;
}
