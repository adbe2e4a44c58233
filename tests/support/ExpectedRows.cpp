#include "tests/support/ExpectedRows.h"

#include "tests/support/FixtureSet.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

namespace testsupport {

namespace {

QStringList readLines(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

std::optional<QString> unescapeTsvField(const QString& field)
{
    if (field == QLatin1String("\\N"))
        return std::nullopt;
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c != QLatin1Char('\\') || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const QChar n = field[++i];
        if (n == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (n == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (n == QLatin1Char('0'))
            out += QChar(0);
        else
            out += n;
    }
    return out;
}

QString ExpectedRows::setFolder(const QString& set)
{
    return FixtureSet::folder(set);
}

ExpectedRows ExpectedRows::load(const QString& set, const QString& database, const QString& table)
{
    ExpectedRows expected;
    const QString base = FixtureSet::expectedFile(set, database, table, QString());
    bool ok = false;
    for (const QString& line : readLines(base + QStringLiteral(".columns.tsv"), &ok)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        expected.m_columns << *unescapeTsvField(fields.value(0));
        expected.m_dataTypes << fields.value(2);
    }
    if (!ok) {
        ADD_FAILURE() << "no expectations for " << base.toStdString();
        return {};
    }
    const QStringList select = readLines(base + QStringLiteral(".rows.sql"), &ok);
    static const QRegularExpression hex(QStringLiteral("HEX\\(`((?:[^`]|``)*)`\\)"));
    for (auto it = hex.globalMatch(select.join(QLatin1Char('\n'))); it.hasNext();)
        expected.m_hexColumns.insert(it.next().captured(1).replace(QLatin1String("``"), QLatin1String("`")));
    for (const QString& line : readLines(base + QStringLiteral(".rows.tsv"), &ok)) {
        Row row;
        for (const QString& field : line.split(QLatin1Char('\t')))
            row.push_back(unescapeTsvField(field));
        expected.m_rows.push_back(std::move(row));
    }
    return expected;
}

QString ExpectedRows::mismatch(std::size_t row, const QString& column, const engine::RowValue& value) const
{
    const qsizetype index = m_columns.indexOf(column);
    if (index < 0)
        return QStringLiteral("no column %1 in the expectations").arg(column);
    if (row >= m_rows.size())
        return QStringLiteral("row %1 is more than the server had").arg(row);
    const std::optional<QString>& want = m_rows[row].at(static_cast<std::size_t>(index));
    const auto differs = [&](const QString& got) {
        return QStringLiteral("row %1 column %2: server %3, ours %4")
            .arg(row)
            .arg(column, want.value_or(QStringLiteral("NULL")), got);
    };
    if (!want || value.m_isNull)
        return want.has_value() == !value.m_isNull ? QString() : differs(value.m_isNull ? QStringLiteral("NULL") : value.text());

    const QString type = m_dataTypes.value(index);
    if (isHex(column)) {
        QString got = QString::fromLatin1(value.bytes().toHex().toUpper());
        if (type == QLatin1String("bit")) {
            while (got.size() > 1 && got.startsWith(QLatin1Char('0')))
                got.remove(0, 1);
            if (got.isEmpty())
                got = QStringLiteral("0");
        }
        return got == *want ? QString() : differs(got);
    }
    if (type == QLatin1String("float")) {
        // The server prints six significant digits; ours must read back to the
        // same float, so compare the numbers at the server's precision.
        bool okOurs = false;
        bool okTheirs = false;
        const double ours = value.text().toDouble(&okOurs);
        const double theirs = want->toDouble(&okTheirs);
        const auto six = [](double v) { return QString::number(v, 'g', 6); };
        return okOurs && okTheirs && six(ours) == six(theirs) ? QString() : differs(value.text());
    }
    return value.text() == *want ? QString() : differs(value.text());
}

QStringList ExpectedRows::compareTable(const std::vector<engine::tempColInfo>& columns,
                                       const std::vector<std::vector<engine::RowValue>>& values, int limit) const
{
    QStringList problems;
    if (values.size() != m_rows.size())
        problems << QStringLiteral("%1 rows read, the server had %2").arg(values.size()).arg(m_rows.size());
    for (std::size_t r = 0; r < values.size() && r < m_rows.size() && problems.size() < limit; ++r)
        for (std::size_t c = 0; c < columns.size() && c < values[r].size() && problems.size() < limit; ++c) {
            const QString problem = mismatch(r, columns[c].m_name, values[r][c]);
            if (!problem.isEmpty())
                problems << problem;
        }
    return problems;
}

} // namespace testsupport
