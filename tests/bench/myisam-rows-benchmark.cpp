// myisam-rows-benchmark DATADIR DATABASE TABLE PORT
// Times our decoding of every row of a MyISAM table (walk, unpack, every
// column to its value) beside the same server's SELECT ... INTO OUTFILE of
// that table, in one run. Our pass is timed with the reader's checks (keys
// of the .MYI, record plausibility) and without them, after a pass that
// warms the file cache. Set up the table with tests/bench/make-myisam-bench-table.
#include "model/TableInformation.h"
#include "platform/DataFile.h"
#include "platform/OdbcConnection.h"
#include "recovery/myisam/MyisamColumnDecoder.h"
#include "recovery/myisam/MyisamIndexCheck.h"
#include "recovery/myisam/MyisamIndexHeader.h"
#include "recovery/myisam/MyisamRecordCheck.h"
#include "recovery/myisam/MyisamRecordWalk.h"
#include "recovery/myisam/MyisamRowLayout.h"
#include "tests/recovery/myisam/MyisamTestSupport.h"

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <optional>

using namespace recovery::myisam;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: myisam-rows-benchmark DATADIR DATABASE TABLE PORT\n");
        return 2;
    }
    const QString dataDir = args[1].endsWith('/') ? args[1] : args[1] + '/';
    myisamtest::ScannedEngine scanned(dataDir, {args[2]});
    engine::TableInformation* table = scanned.table(args[2], args[3]);
    if (!table) {
        std::fprintf(stderr, "no table %s.%s\n", qPrintable(args[2]), qPrintable(args[3]));
        return 1;
    }
    const QString base = dataDir + args[2] + '/' + args[3];
    QFile index(base + ".MYI");
    index.open(QIODevice::ReadOnly);
    const QByteArray indexBytes = index.read(1 << 20);
    auto header = MyisamIndexHeader::parse(
        std::span(reinterpret_cast<const std::uint8_t*>(indexBytes.constData()), static_cast<std::size_t>(indexBytes.size())));
    if (!header) {
        std::fprintf(stderr, "%s\n", header.error().what.c_str());
        return 1;
    }
    auto layout = MyisamRowLayout::build(*table, *header);
    if (!layout) {
        std::fprintf(stderr, "%s\n", layout.error().what.c_str());
        return 1;
    }
    platform::DataFile data;
    data.open((base + ".MYD").toStdString());

    std::uint64_t rows = 0, values = 0, valueBytes = 0, damaged = 0, doubtful = 0;
    double keyWalk = 0;
    std::size_t keysWalked = 0;
    // One pass over the rows; with the reader's checks, the keys are walked
    // once first and each record is held against them and the format.
    const auto pass = [&](bool withChecks) {
        rows = values = valueBytes = damaged = doubtful = 0;
        const auto t0 = std::chrono::steady_clock::now();
        platform::DataFile indexFile;
        std::optional<MyisamIndexCheck> keys;
        std::optional<MyisamRecordCheck> checks;
        if (withChecks) {
            indexFile.open((base + ".MYI").toStdString());
            keys.emplace(*layout, *header, indexFile);
            keysWalked = keys->trustedKeys();
            keyWalk = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            checks.emplace(*layout);
        }
        MyisamRecordWalk walk(data, *layout, data.size());
        MyisamRecord record;
        for (std::uint64_t pos = 0;;) {
            const auto step = walk.read(pos, record);
            if (step.m_kind == MyisamRecordWalk::StepKind::End)
                break;
            if (step.m_kind == MyisamRecordWalk::StepKind::Damaged)
                ++damaged;
            if (step.m_kind == MyisamRecordWalk::StepKind::Record) {
                ++rows;
                // Each value as a repair binds it.
                for (const auto& column : layout->m_columns) {
                    const auto value = MyisamColumnDecoder::decode(column, record);
                    if (value) {
                        ++values;
                        valueBytes += static_cast<std::uint64_t>(value->bytes().size());
                    }
                }
                if (withChecks)
                    doubtful += (checks->check(record) | keys->check(record)) != 0 ? 1 : 0;
            }
            pos = step.m_next;
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    pass(false);
    const double unchecked = pass(false);
    const double ours = pass(true);

    platform::OdbcConnection server;
    server.open(QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=127.0.0.1;Port=") + args[4]
                + QStringLiteral(";DATABASE=mysql;USER=root;PASSWORD=;OPTION=16427;"));
    // The server writes only below its secure_file_priv folder.
    const auto priv = server.query(QStringLiteral("SELECT @@secure_file_priv"));
    const QString folder = priv.empty() || !priv[0][0] ? QStringLiteral("/tmp/") : *priv[0][0];
    const QString outFile = folder + QStringLiteral("myisam-bench-%1.tsv").arg(QCoreApplication::applicationPid());
    const auto t1 = std::chrono::steady_clock::now();
    server.execute(QStringLiteral("SELECT * FROM %1.%2 INTO OUTFILE '%3'").arg(args[2], args[3], outFile));
    const double theirs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
    QFile::remove(outFile);

    std::printf("rows %llu, values %llu (%llu value bytes), damaged %llu (header count %llu)\n",
                static_cast<unsigned long long>(rows), static_cast<unsigned long long>(values),
                static_cast<unsigned long long>(valueBytes), static_cast<unsigned long long>(damaged),
                static_cast<unsigned long long>(header->m_records));
    std::printf("checks: %zu keys walked in %.3f s, %llu doubtful rows; without checks %.3f s (checked: %+.1f%%)\n",
                keysWalked, keyWalk, static_cast<unsigned long long>(doubtful), unchecked,
                100.0 * (ours - unchecked) / unchecked);
    std::printf("ours: %.3f s   server SELECT INTO OUTFILE: %.3f s   ratio ours/server: %.2f\n", ours, theirs,
                ours / theirs);
    return rows == header->m_records ? 0 : 1;
}
