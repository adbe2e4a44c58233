#include "tests/tools/DumpOutput.h"

#include "engine/FileNameCodec.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace testsupport {

Dump runDump(const QString& dataFolder, bool rows)
{
    QProcess process;
    QStringList arguments{dataFolder};
    if (!rows)
        arguments.prepend(QStringLiteral("--no-rows"));
    process.start(QStringLiteral(GRISOLT_DUMP), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0);
    Dump dump;
    dump.log = QString::fromUtf8(process.readAllStandardError());
    QString database;
    QString table;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        QStringList fields;
        for (const QString& field : line.split(QLatin1Char('\t')))
            fields << unescapeTsvField(field).value_or(QStringLiteral("\\N"));
        const QString kind = fields.value(0);
        const QString name = engine::FileNameCodec::Decode(fields.value(1));
        if (kind == QLatin1String("database"))
            database = name;
        else if (kind == QLatin1String("table")) {
            table = name;
            dump.tables[database][table] = {fields.value(2), fields.value(3), {}, {}, {}, {}, {}};
        } else if (kind == QLatin1String("column"))
            dump.tables[database][table].columns << fields.value(1);
        else if (kind == QLatin1String("partition")) {
            dump.tables[database][table].partitions << name;
            dump.tables[database][table].partitionRoots << fields.value(2);
        } else if (kind == QLatin1String("row"))
            dump.tables[database][table].rows << fields.mid(1);
        else if (kind == QLatin1String("damaged-row"))
            dump.tables[database][table].damagedRows << fields.mid(1);
        else if (kind == QLatin1String("view"))
            dump.views[database] << name;
        else if (kind == QLatin1String("trigger"))
            dump.triggers[database] << name;
    }
    return dump;
}

QList<QStringList> readTsv(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QStringList fields;
        for (const QString& field : line.split(QLatin1Char('\t')))
            fields << unescapeTsvField(field).value_or(QStringLiteral("\\N"));
        rows << fields;
    }
    return rows;
}

RowMatcher::RowMatcher(const ExpectedRows& expected, const QStringList& columns)
    : m_expected(expected), m_columns(columns), m_used(expected.rows().size())
{
    for (std::size_t r = 0; r < expected.rows().size(); ++r)
        m_byFirst[expected.rows()[r].at(0).value_or(QStringLiteral("\\N"))].push_back(r);
}

long RowMatcher::take(const QStringList& row)
{
    // Only rows printed under the server's own columns compare.
    if (m_columns != m_expected.columnNames() || row.size() != m_columns.size())
        return -1;
    std::vector<engine::RowValue> values;
    for (qsizetype c = 0; c < row.size(); ++c) {
        if (row[c] == QLatin1String("\\N"))
            values.push_back(engine::RowValue::Null());
        else if (m_expected.isHex(m_columns[c]))
            values.push_back(engine::RowValue::Stored(QByteArray::fromHex(row[c].toLatin1()), row[c]));
        else
            values.push_back(engine::RowValue::Text(row[c]));
    }
    std::vector<std::size_t> all;
    const auto candidates = m_byFirst.find(row.value(0));
    const bool byKey = candidates != m_byFirst.end() && !m_expected.isHex(m_columns.value(0));
    if (!byKey)
        for (std::size_t r = 0; r < m_used.size(); ++r)
            all.push_back(r);
    for (std::size_t r : byKey ? *candidates : all) {
        if (m_used[r])
            continue;
        bool equal = true;
        for (qsizetype c = 0; c < row.size() && equal; ++c)
            equal = m_expected.mismatch(r, m_columns[c], values[static_cast<std::size_t>(c)]).isEmpty();
        if (equal) {
            m_used[r] = true;
            return static_cast<long>(r);
        }
    }
    return -1;
}

} // namespace testsupport
