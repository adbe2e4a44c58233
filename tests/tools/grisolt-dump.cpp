// grisolt-dump [--no-rows] DATADIR [IBDATA1]
// Runs the engine's scan on every database of a data folder, without the
// GUI, and prints the model as plain text, one item a line, fields separated
// by a tab (a tab, newline, backslash or zero byte inside a field written \t,
// \n, \\, \0).
// A column line ends in "invisible" for a column declared INVISIBLE; the
// server's own hidden columns (the hash of a long UNIQUE key) are no columns
// of the table and are not printed. A partitioned table lists its
// partitions after its keys, in order ("partition", name, InnoDB root page);
// its rows are theirs, one partition after the other.
// Under each table come its rows as the preview pages through them, page
// after page to the end of the table, every value read whole as a repair
// reads it (no placeholder of a large value), each row's values in the order
// of the column lines: NULL as \N, the values of binary, BIT and spatial
// columns as their stored bytes in upper-case hexadecimal, every other value
// as its text. A row from an InnoDB page whose checksums failed, or a record
// with a value that could not be read (NULL then), is printed as
// "damaged-row" instead of "row": its values may be wrong. --no-rows leaves the rows out.
// Log lines go to standard error.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QString escaped(QString field)
{
    field.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    field.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    field.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    field.replace(QChar(0), QLatin1String("\\0"));
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
    // Fields already escaped where they need it.
    void rawLine(const QStringList& fields)
    {
        QStringList cells;
        for (const QString& field : fields)
            cells << (field == QLatin1String("\\N") ? field : escaped(field));
        m_out << cells.join(QLatin1Char('\t')) << '\n';
    }
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
        if (!column->isTableColumn())
            continue;
        QStringList fields{QStringLiteral("column"), column->m_name, column->m_typeName, QString::number(column->m_length),
                           QString::number(column->m_scale), column->m_nullText, column->m_signText, column->m_defaultText,
                           column->m_members.join(QLatin1Char(','))};
        if (column->m_visibility == engine::Visibility::Invisible)
            fields << QStringLiteral("invisible");
        print.line(fields);
    }
    for (const auto& part : table.m_keyParts) {
        const int index = part.m_column - 1;
        const QString name = index >= 0 && index < columnNames.size() ? columnNames[index] : QString();
        print.line({QStringLiteral("key"), part.m_kind, name});
    }
    for (const auto& partition : table.m_partitions)
        print.line({QStringLiteral("partition"), partition.m_name, QString::number(partition.m_rootPage)});
}

bool shownAsHex(engine::ColumnTypeCode code)
{
    return engine::RowWriter::SendsStoredBytes(code) && !(code >= engine::TYPE_TINYTEXT && code <= engine::TYPE_CHAR)
        && code != engine::TYPE_VARCHAR;
}

// Reads a table the way the preview pages through it and prints each record.
void printRows(Printer& print, engine::MySqlRepair& repair, engine::TableInformation& table)
{
    engine::AppState& app = repair.app();
    repair.m_bWholeValues = true;
    repair.m_rowObserver = [&](const std::vector<engine::tempColInfo>& columns, const std::vector<engine::RowValue>& values) {
        // The readers deliver an InnoDB table's key columns first; the
        // values are printed in the definition's order, under the column
        // lines that name them (a column the files do not store is left out).
        std::vector<std::size_t> order;
        for (const auto& column : table.columns())
            for (std::size_t i = 0; i < columns.size() && i < values.size(); ++i)
                if (columns[i].m_name == column->m_name) {
                    order.push_back(i);
                    break;
                }
        QStringList fields{repair.m_rowDamaged ? QStringLiteral("damaged-row") : QStringLiteral("row")};
        for (const std::size_t i : order) {
            const engine::RowValue& value = values[i];
            if (value.m_isNull)
                fields << QStringLiteral("\\N");
            else if (i < columns.size() && shownAsHex(columns[i].m_typeCode))
                fields << QString::fromLatin1(value.bytes().toHex().toUpper());
            else
                fields << value.text();
        }
        print.rawLine(fields);
    };
    if (table.m_engine == QLatin1String("innodb")) {
        repair.m_dataPages.clear();
        repair.LocateInnoDbTableData(table);
        app.m_nPage = 0;
        while (app.m_nPage >= 0 && app.m_nPage < static_cast<std::int32_t>(repair.m_dataPages.size())) {
            repair.m_pageRows.clear();
            app.m_nPagesMerged = 0;
            repair.RecoverInnoDbRows(repair.m_dataPages[static_cast<std::size_t>(app.m_nPage)], table);
            app.m_nPage += 1 + app.m_nPagesMerged;
        }
    } else if (table.m_engine == QLatin1String("myisam")) {
        repair.RecoverMyIsamTable(table);
        // Next page after next page, as the preview's Next button asks.
        for (int guard = 0; app.m_nPageRecords != 0 && app.m_nRecordsLeft > 100 && guard < 100000000; ++guard) {
            app.m_nRecordsLeft -= 100;
            app.m_nPageRecords = std::min<std::int64_t>(100, app.m_nRecordsLeft);
            repair.m_pageRows.clear();
            repair.RecoverMyIsamRows(static_cast<std::uint64_t>(app.m_nPageRecords), table,
                                     static_cast<std::uint64_t>(app.m_nNextPageStart));
        }
    }
    repair.m_rowObserver = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments();
    const bool rows = !args.removeAll(QStringLiteral("--no-rows"));
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: grisolt-dump [--no-rows] DATADIR [IBDATA1]\n");
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
        for (const auto& table : database->m_tables) {
            printTable(print, *table);
            if (rows)
                printRows(print, repair, *table);
        }
        for (const QString& view : database->m_viewFiles)
            print.line({QStringLiteral("view"), objectLabel(view, QStringLiteral(".frm"))});
        for (const QString& trigger : database->m_triggerFiles)
            print.line({QStringLiteral("trigger"), objectLabel(trigger, QStringLiteral(".TRG"))});
    }
    return 0;
}
