#include "engine/FileNameCodec.h"
#include "engine/RowWriter.h"
#include "platform/OdbcConnection.h"
#include "tests/support/ScratchServer.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

using engine::FileNameCodec;

namespace {

// A database and tables with accented, Greek, Cyrillic and CJK names: the
// names the server itself writes in its data folder decode to the SQL names
// and the SQL names encode to them.
TEST(FileNameCodecServer, NamesInTheDataFolderMatchTheSqlNames)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    platform::OdbcConnection db;
    db.open(server.connectionString());

    // Unique per process: tests run side by side on one server.
    const QString database = QString::fromUtf8("fnc_donn\xc3\xa9" "es_\xce\xb1\xd0\xb6_")
        + QString::number(QCoreApplication::applicationPid());
    const QStringList tables = {
        QString::fromUtf8("caf\xc3\xa9"),
        QString::fromUtf8("\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1 \xce\xac\xce\xbb\xcf\x86\xce\xb1"),
        QString::fromUtf8("\xd0\x96\xd1\x83\xd0\xba \xd1\x91\xd0\xb6"),
        QString::fromUtf8("\xe4\xb8\xad\xe6\x96\x87\xe8\xa1\xa8"),
        QString::fromUtf8("\xc3\x85ngstr\xc3\xb6m \xe2\x85\xab \xe2\x92\xb6\xef\xbc\xa1\xef\xbd\x9a \xe2\x82\xac"),
    };
    const QString quoted = engine::RowWriter::QuoteName(database);
    db.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + quoted);
    db.execute(QStringLiteral("CREATE DATABASE ") + quoted);
    for (const QString& table : tables)
        db.execute(QStringLiteral("CREATE TABLE ") + quoted + QLatin1Char('.') + engine::RowWriter::QuoteName(table)
                   + QStringLiteral(" (a INT) ENGINE=MyISAM"));

    QString folder;
    for (const QString& entry : QDir(server.dataFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (FileNameCodec::Decode(entry) == database)
            folder = entry;
    EXPECT_EQ(folder, FileNameCodec::Encode(database));

    QStringList decoded;
    for (const QString& file : QDir(server.dataFolder + folder).entryList({QStringLiteral("*.frm")})) {
        const QString base = file.chopped(4);
        decoded << FileNameCodec::Decode(base);
        EXPECT_EQ(FileNameCodec::Encode(decoded.last()), base);
    }
    db.execute(QStringLiteral("DROP DATABASE ") + quoted);
    decoded.sort();
    QStringList expected = tables;
    expected.sort();
    EXPECT_EQ(decoded, expected);
}

} // namespace
