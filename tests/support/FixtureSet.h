#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace testsupport {

// Where the fixture data folders of one set ("legacy" or "default") and the
// server's expectations about them live, and the plain reads the tests make
// of them. The folders are built once per build folder by CTest's
// datafolders fixture.
class FixtureSet {
public:
    // $GRISOLT_FIXTURES_DIR/<set>, else the build's fixtures folder.
    static QString folder(const QString& set);
    // folder(set) + "/data"
    static QString dataFolder(const QString& set);
    // expected/<database>/<table><suffix>; a '/' in a name is spelled
    // @002f, as the file names of the expectations have it.
    static QString expectedFile(const QString& set, const QString& database, const QString& table,
                                const QString& suffix);
    // True once the set's expectations are written (the fixture was built).
    static bool built(const QString& set);
    // The table's TABLE_TYPE in tables.tsv ("BASE TABLE", "SYSTEM VERSIONED",
    // "SEQUENCE", "VIEW"); empty for a table not listed there.
    static QString tableType(const QString& set, const QString& database, const QString& table);

    // The whole file; empty when it cannot be read.
    static std::vector<std::uint8_t> readBytes(const QString& path);
    // A .tsv file as it stands: one list of TAB-separated fields a non-empty
    // line, nothing unescaped; empty when it cannot be read.
    static QList<QStringList> readTsv(const QString& path);
};

} // namespace testsupport
