#include "tests/support/FixtureSet.h"

#include <QFile>

namespace testsupport {

QString FixtureSet::folder(const QString& set)
{
    QString root = qEnvironmentVariable("GRISOLT_FIXTURES_DIR");
#ifdef GRISOLT_FIXTURES_DIR
    if (root.isEmpty())
        root = QStringLiteral(GRISOLT_FIXTURES_DIR);
#endif
    return root + QLatin1Char('/') + set;
}

QString FixtureSet::dataFolder(const QString& set)
{
    return folder(set) + QStringLiteral("/data");
}

namespace {

QString fileName(QString name)
{
    return name.replace(QLatin1Char('/'), QStringLiteral("@002f"));
}

} // namespace

QString FixtureSet::expectedFile(const QString& set, const QString& database, const QString& table,
                                 const QString& suffix)
{
    return folder(set) + QStringLiteral("/expected/") + fileName(database) + QLatin1Char('/') + fileName(table)
        + suffix;
}

bool FixtureSet::built(const QString& set)
{
    return QFile::exists(folder(set) + QStringLiteral("/expected/tables.tsv"));
}

QString FixtureSet::tableType(const QString& set, const QString& database, const QString& table)
{
    for (const QStringList& row : readTsv(folder(set) + QStringLiteral("/expected/tables.tsv")))
        if (row.value(0) == database && row.value(1) == table)
            return row.value(2);
    return {};
}

std::vector<std::uint8_t> FixtureSet::readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return std::vector<std::uint8_t>(all.begin(), all.end());
}

QList<QStringList> FixtureSet::readTsv(const QString& path)
{
    QList<QStringList> rows;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.isEmpty())
            rows.append(QString::fromUtf8(line).split(QLatin1Char('\t')));
    }
    return rows;
}

} // namespace testsupport
