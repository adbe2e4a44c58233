// The data-folder scan: which databases a data folder holds, and the table
// definitions, views and triggers of the ones the user chose.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/ReportWindow.h"
#include "engine/FileNameCodec.h"
#include "engine/FrmReader.h"
#include "engine/PartitionFile.h"
#include "engine/StringTable.h"
#include "recovery/innodb/InnodbDictionary.h"
#include "recovery/innodb/InnodbRedoLogHeader.h"
#include "recovery/innodb/InnodbSpaceFlags.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <vector>

namespace engine {

namespace {

// Attempts to open the shared tablespace, which another program may hold for a moment.
constexpr int kIbdataOpenAttempts = 5;
// The first redo log file, where both log formats keep their checkpoints.
const char* const kRedoLogName = "ib_logfile0";
// The bytes of the shared tablespace's page 0 up to its flush LSN.
constexpr std::uint64_t kFlushLsnEnd = 34;

// The last component of a folder path, without trailing separators.
QString folderName(QString path)
{
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Files of a folder whose names end with the extension in any case, as the
// server's own file systems matched them; hidden files are passed over.
QStringList filesWithExtension(const QString& folder, const QString& extension)
{
    QStringList names;
    const auto entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.startsWith(QLatin1Char('.')))
            continue;
        if (name.endsWith(QLatin1Char('.') + extension, Qt::CaseInsensitive) && name.size() > extension.size() + 1)
            names.append(name);
    }
    return names;
}

// Partitions and subpartitions in file names ("p0#SP#p0sp0").
const QRegularExpression& subpartitionMark()
{
    static const QRegularExpression mark(QStringLiteral("#SP#"), QRegularExpression::CaseInsensitiveOption);
    return mark;
}

// The partitions' order where no list gives it: as the clause names them,
// then by the number a generated name ends in ("p2" before "p10"), then by
// name (the order they come in).
void sortPartitionNames(QStringList& names, const QString& clause)
{
    const auto key = [&](const QString& fileName) {
        std::vector<qint64> k;
        const QStringList parts = fileName.split(subpartitionMark());
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString name = FileNameCodec::Decode(parts[i]);
            const QString named = (i == 0 ? QStringLiteral("PARTITION `") : QStringLiteral("SUBPARTITION `")) + name
                + QLatin1Char('`');
            const qsizetype at = clause.indexOf(named, 0, Qt::CaseInsensitive);
            k.push_back(at < 0 ? std::numeric_limits<qint64>::max() : at);
            qsizetype digits = name.size();
            while (digits > 0 && name[digits - 1].isDigit())
                --digits;
            k.push_back(digits < name.size() ? name.mid(digits, 18).toLongLong() : -1);
        }
        return k;
    };
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return key(a) < key(b); });
}

// The size of a compressed page the definition asks for: ROW_FORMAT=COMPRESSED,
// or a KEY_BLOCK_SIZE with no other ROW_FORMAT (the server's default then is
// 8 KiB); 0 for none.
std::uint32_t declaredCompressedPageSize(const TableOptions& options)
{
    constexpr std::uint8_t kRowFormatCompressed = 3;
    constexpr std::uint32_t kDefaultCompressedPage = 8192;
    if (options.m_rowType != kRowFormatCompressed && (options.m_rowType != 0 || options.m_keyBlockSize == 0))
        return 0;
    return options.m_keyBlockSize != 0 ? std::uint32_t{options.m_keyBlockSize} * 1024 : kDefaultCompressedPage;
}

bool declaredPageCompressed(const TableOptions& options)
{
    for (const auto& [name, value] : options.m_engineOptions)
        if (name.compare(QLatin1String("PAGE_COMPRESSED"), Qt::CaseInsensitive) == 0)
            return value == QLatin1String("1") || value.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0
                || value.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0;
    return false;
}

} // namespace

bool MySqlRepair::stopRequested() const
{
    return m_app.m_bStop.load();
}

void MySqlRepair::ListDatabaseFolders()
{
    DataFolderRecord* record = nullptr;
    if (m_app.m_bDefaultLocation) {
        record = &m_app.AddDataFolderRecord();
        record->m_folder = m_strDataFolder;
    } else if (m_app.m_bManualFolder && m_diskObject.DirectoryExists(m_app.m_strDataFolder)) {
        record = &m_app.AddDataFolderRecord();
        record->m_folder = m_app.m_strDataFolder;
    }
    if (record) {
        m_diskObject.EnumAllDirectories(record->m_folder, record->m_databaseFolders);
        // The server's own system database is never offered.
        for (qsizetype i = 0; i < record->m_databaseFolders.size(); ++i) {
            if (folderName(record->m_databaseFolders[i]) == QLatin1String("mysql")) {
                record->m_databaseFolders.removeAt(i);
                break;
            }
        }
    }
    m_bDatabaseFound = false;
    for (const DataFolderRecord& folder : m_app.m_dataFolders)
        if (!folder.m_databaseFolders.isEmpty())
            m_bDatabaseFound = true;
}

void MySqlRepair::ScanDataFolder()
{
    // Each scan reads the dictionary afresh: the file may have been replaced.
    m_dictionary.reset();
    m_dictionaryTried = false;
    m_instanceFlags.reset();
    m_instanceFlagsTried = false;
    m_redoLogWarning.clear();
    m_openTransactions = {};
    m_openTransactionsWarning.clear();
    const QString dataFolder = m_app.m_bManualFolder ? m_app.m_strDataFolder : m_strDataFolder;
    m_strDataFolder.clear();
    AppendLog(StringTable::Load(IDS_SCANNING_DATABASES));

    if (!m_app.m_selectedDatabases.isEmpty()) {
        CheckRedoLog(dataFolder);
        CheckOpenTransactions();
        const std::size_t firstScanned = m_databases.size();
        for (const QString& folder : m_app.m_selectedDatabases) {
            if (stopRequested())
                break;
            if (folderName(folder) == QLatin1String("mysql"))
                continue;
            ScanDatabaseFolder(folder);
        }
        m_app.m_bOldVersionTables = MetOldVersionTables(firstScanned);
        if (!m_app.m_bTablesFound) {
            m_databases.clear();
            ShowUserMessage(StringTable::Load(IDS_NO_TABLES_FOUND));
        }
    }
    m_app.setStatusPane1(QString());
    m_app.setStatusPane2(QString());
}

void MySqlRepair::ScanDatabaseFolder(const QString& selected)
{
    QString folder = selected;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_app.setStatusPane1(QString());
    auto database = std::make_unique<MySqlInfo>();
    const auto selectedCount = static_cast<std::intptr_t>(m_app.m_selectedDatabases.size());

    QStringList frmNames;
    QStringList triggerPaths;
    for (const QString& extension : {QStringLiteral("frm"), QStringLiteral("TRG")}) {
        if (stopRequested())
            break;
        ReportProgress(PROGRESS_BEGIN, selectedCount);
        for (const QString& name : filesWithExtension(folder, extension)) {
            if (stopRequested())
                break;
            if (extension == QLatin1String("frm"))
                frmNames.append(name);
            else
                triggerPaths.append(folder + name);
            if (m_hWndScanProgress)
                m_hWndScanProgress->SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
        }
        ReportProgress(PROGRESS_END);
    }

    QStringList viewPaths;
    QStringList tablePaths;
    ReportProgress(PROGRESS_BEGIN, static_cast<std::intptr_t>(frmNames.size()));
    for (const QString& name : frmNames) {
        if (stopRequested())
            break;
        m_app.m_bTablesFound = true;
        m_app.setStatusPane2(QString());
        ReadTableDefinition(folder + name, *database, viewPaths, tablePaths);
        ReportProgress(PROGRESS_STEP);
    }
    ReportProgress(PROGRESS_END);

    database->m_name = folderName(folder);
    for (const QString& path : tablePaths) {
        const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        database->m_tableNames.append(file.left(file.lastIndexOf(QLatin1Char('.'))));
    }
    database->m_triggerFiles = triggerPaths;
    database->m_viewFiles = viewPaths;
    m_databases.push_back(std::move(database));
}

bool MySqlRepair::MetOldVersionTables(std::size_t firstDatabase) const
{
    // MySQL 3.x wrote table definitions with a version byte of 7 or lower.
    constexpr std::uint32_t kNewestOldVersion = 7;
    for (std::size_t i = firstDatabase; i < m_databases.size(); ++i)
        for (const auto& table : m_databases[i]->m_tables)
            if (table->m_frmVersion <= kNewestOldVersion)
                return true;
    return false;
}

void MySqlRepair::CheckRedoLog(const QString& dataFolder)
{
    using recovery::innodb::InnodbRedoLogHeader;
    using recovery::innodb::RedoLogVerdict;
    // The server keeps its log beside ibdata1 unless told otherwise; the
    // data folder is the other place to look.
    const QString ibdata = SharedTablespacePath();
    QStringList candidates;
    if (!ibdata.isEmpty())
        candidates << QFileInfo(ibdata).absolutePath() + QLatin1Char('/') + QLatin1String(kRedoLogName);
    if (!dataFolder.isEmpty())
        candidates << QDir(dataFolder).filePath(QLatin1String(kRedoLogName));
    platform::DataFile log;
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile() && log.open(candidate.toStdString()))
            break;
    if (!log.isOpen())
        return;

    std::uint64_t flushLsn = 0;
    platform::DataFile shared;
    if (!ibdata.isEmpty() && shared.open(ibdata.toStdString()))
        if (auto page = shared.readExactly(0, kFlushLsnEnd))
            flushLsn = InnodbRedoLogHeader::flushLsn(*page);
    const auto state = InnodbRedoLogHeader::inspect(log, flushLsn);
    if (state.verdict != RedoLogVerdict::ChangesPending)
        return;
    // The same steps as for transactions left open: a fast shutdown would
    // leave the rollback of what never committed unfinished.
    m_redoLogWarning = QStringLiteral("The server did not shut down cleanly: its redo log %1 holds changes that the "
                                      "data files do not have yet (%2). These last changes are not read. To recover "
                                      "them too, start a server of the version that wrote them on a copy of the data "
                                      "folder%3, let it apply its redo log and roll back what never committed (its "
                                      "error log says when), run SET GLOBAL innodb_fast_shutdown=0 and stop it, then "
                                      "read the copy.")
                           .arg(QString::fromStdString(log.path()), QString::fromStdString(state.why),
                                state.encrypted ? QStringLiteral(" with the key management plugin and keys it used "
                                                                 "(the log is encrypted)")
                                                : QString());
    AppendLog(m_redoLogWarning);
}

void MySqlRepair::CheckOpenTransactions()
{
    // Without a readable ibdata1 there is nothing to tell; the dictionary's
    // reading says why.
    const QString ibdata = SharedTablespacePath();
    platform::DataFile shared;
    if (ibdata.isEmpty() || !QFileInfo(ibdata).isFile() || !shared.open(ibdata.toStdString()))
        return;
    // Pages of another size: no InnoDB row is read, and the scan says why.
    if (!InstancePagesReadable())
        return;
    // The server keeps its undo tablespaces beside ibdata1 unless told otherwise.
    const QDir folder = QFileInfo(ibdata).absoluteDir();
    std::vector<platform::DataFile> undoFiles;
    for (const QString& name : folder.entryList({QStringLiteral("undo[0-9][0-9][0-9]")}, QDir::Files, QDir::Name)) {
        platform::DataFile file;
        if (file.open(folder.filePath(name).toStdString()))
            undoFiles.push_back(std::move(file));
    }
    std::vector<const platform::DataFile*> undo;
    for (const platform::DataFile& file : undoFiles)
        undo.push_back(&file);
    auto open = recovery::innodb::InnodbTransactionSystem::read(shared, undo);
    if (!open) {
        m_openTransactionsWarning =
            QStringLiteral("Whether transactions were left open when the server stopped could not be checked: %1 "
                           "(offset %2). Rows are read as the data files hold them; rows that never committed "
                           "cannot be told apart.")
                .arg(QString::fromStdString(open.error().what))
                .arg(open.error().offset);
        AppendLog(m_openTransactionsWarning);
        return;
    }
    m_openTransactions = std::move(*open);
    if (m_openTransactions.empty())
        return;
    m_openTransactionsWarning =
        QStringLiteral("Transactions were left open when the server stopped (%1 active, %2 prepared (XA)): the rows "
                       "they wrote never committed and are marked as damaged rows, and each table's log says how "
                       "many. To read the data as committed, start a server of the same version on a copy of the "
                       "data folder, let it roll them back (its error log says when), run SET GLOBAL "
                       "innodb_fast_shutdown=0 and stop it, then read the copy; a prepared (XA) transaction stays "
                       "until someone runs XA COMMIT or XA ROLLBACK for it.")
            .arg(m_openTransactions.active.size())
            .arg(m_openTransactions.prepared.size());
    AppendLog(m_openTransactionsWarning);
}

QString MySqlRepair::SharedTablespacePath() const
{
    return m_app.m_bManualFolder ? m_app.m_strIbdataPath : m_strIbdataPath;
}

std::uint64_t MySqlRepair::FindInnoDbTable(const QString& qualifiedName, const QString& label)
{
    using recovery::innodb::InnodbDictionary;
    // A dictionary of pages of another size would read as damage.
    if (!InstancePagesReadable())
        return 0;
    if (!m_dictionaryTried) {
        m_dictionaryTried = true;
        const QString path = SharedTablespacePath();
        platform::DataFile ibdata;
        if (!OpenDataFile(ibdata, path, kIbdataOpenAttempts, true)) {
            if (!stopRequested())
                AppendLog(QStringLiteral("The shared tablespace %1 cannot be opened: %2")
                              .arg(path, QString::fromStdString(ibdata.lastError())));
            return 0;
        }
        recovery::innodb::DictionaryLoadProgress progress;
        progress.stopRequested = [this] { return stopRequested(); };
        progress.levelBegins = [this](std::size_t pages) {
            ReportProgress(PROGRESS_BEGIN, static_cast<std::intptr_t>(pages));
        };
        progress.pageDone = [this] { ReportProgress(PROGRESS_STEP); };
        progress.levelEnds = [this] { ReportProgress(PROGRESS_END); };
        auto loaded = InnodbDictionary::load(ibdata, progress);
        if (!loaded && loaded.error().code == platform::DecodeErrorCode::Stopped) {
            // Read afresh by the next lookup; a stop is no damage to report.
            m_dictionaryTried = false;
            return 0;
        }
        if (!loaded) {
            AppendLog(QStringLiteral("The InnoDB data dictionary of %1 cannot be read: %2")
                          .arg(path, QString::fromStdString(loaded.error().what)));
            return 0;
        }
        for (const platform::DecodeError& damage : loaded->damage())
            AppendLog(QStringLiteral("The InnoDB data dictionary of %1 is damaged at offset %2: %3")
                          .arg(path)
                          .arg(damage.offset)
                          .arg(QString::fromStdString(damage.what)));
        m_dictionary = std::make_unique<InnodbDictionary>(std::move(*loaded));
    }
    if (!m_dictionary)
        return 0;
    auto root = m_dictionary->clusteredIndexRoot(qualifiedName);
    if (!root) {
        if (!m_redoLogWarning.isEmpty() && !m_dictionary->hasTable(qualifiedName))
            AppendLog(label
                      + QStringLiteral(" is not in the InnoDB data dictionary, likely because the server did not shut "
                                       "down cleanly: a table made shortly before that is known only to the redo "
                                       "log, which is not read."));
        else
            AppendLog(QStringLiteral("Table %1: %2").arg(qualifiedName, QString::fromStdString(root.error().what)));
        return 0;
    }
    return *root;
}

void MySqlRepair::ReadTableDefinition(const QString& path, MySqlInfo& database, QStringList& viewPaths,
                                      QStringList& tablePaths)
{
    // Definitions are small; anything larger is not one and is not read whole.
    constexpr std::uint64_t kMaxDefinitionSize = 64ull << 20;
    platform::DataFile file;
    if (!file.open(path.toStdString())) {
        AppendLog(QStringLiteral("The table definition %1 cannot be opened: %2")
                      .arg(path, QString::fromStdString(file.lastError())));
        return;
    }
    auto bytes = file.readExactly(0, std::min(file.size(), kMaxDefinitionSize));
    if (!bytes) {
        AppendLog(QStringLiteral("The table definition %1 cannot be read: %2")
                      .arg(path, QString::fromStdString(bytes.error().what)));
        return;
    }
    if (FrmReader::isViewFile(*bytes)) {
        viewPaths.append(path);
        return;
    }
    FrmReadOptions options;
    options.stop = &m_app.m_bStop;
    options.myiProbeByte = myiProbeByte(path);
    auto contents = FrmReader::read(*bytes, path, options);
    if (!contents) {
        AppendLog(QStringLiteral("The table definition %1 is damaged and was passed over: %2")
                      .arg(path, QString::fromStdString(contents.error().what)));
        return;
    }
    if (contents->m_isView) {
        viewPaths.append(path);
        return;
    }
    if (contents->m_damage)
        AppendLog(QStringLiteral("The table definition %1 is damaged at offset %2 (%3); what could be read is kept.")
                      .arg(path)
                      .arg(contents->m_damage->offset)
                      .arg(QString::fromStdString(contents->m_damage->what)));
    tablePaths.append(path);
    std::unique_ptr<TableInformation> table = std::move(contents->m_table);
    const auto storage = FrmReader::chooseStorage(path, SharedTablespacePath(), [this](const QString& candidate) {
        return m_diskObject.FileExists(candidate);
    });
    table->m_engine = storage.engine;
    table->m_dataFile = storage.dataFile;
    const bool partitioned = contents->m_engineName.compare(QLatin1String("partition"), Qt::CaseInsensitive) == 0;
    const bool otherEngine = !contents->m_engineName.isEmpty()
        && contents->m_engineName.compare(QLatin1String("InnoDB"), Qt::CaseInsensitive) != 0
        && contents->m_engineName.compare(QLatin1String("MyISAM"), Qt::CaseInsensitive) != 0;
    if (partitioned) {
        table->m_partitionClause = contents->m_partitionClause;
        if (table->m_partitionClause.isEmpty())
            AppendLog(QStringLiteral("Table %1: its PARTITION BY clause cannot be read from its definition; it is "
                                     "re-created unpartitioned.")
                          .arg(path));
        FindPartitions(path, *table);
        if (table->m_engine == QLatin1String("innodb") && !table->m_partitions.empty())
            InnodbRowsReadable(path, *table);
    } else if (otherEngine && storage.dataFile == SharedTablespacePath()) {
        // Its rows are in files of an engine we do not read; the definition still counts.
        AppendLog(QStringLiteral("Table %1 is stored by the %2 engine; its rows cannot be read.")
                      .arg(path, contents->m_engineName));
        table->m_rowsNotRead = true;
    } else if (table->m_engine == QLatin1String("innodb") && InnodbRowsReadable(path, *table)) {
        const QString databaseFolder = FrmReader::databaseNameFromPath(path);
        table->m_rootPage = FindInnoDbTable(
            databaseFolder + QLatin1Char('/') + table->m_name,
            QStringLiteral("Table %1 in database %2")
                .arg(FileNameCodec::Decode(table->m_name), FileNameCodec::Decode(databaseFolder)));
    }
    database.m_tables.push_back(std::move(table));
}

void MySqlRepair::FindPartitions(const QString& frmPath, TableInformation& table)
{
    // The list is a few names; anything larger is not one.
    constexpr std::uint64_t kMaxPartitionListSize = 1u << 20;
    const QString base = frmPath.left(frmPath.size() - 4);
    const QString folder = base.left(base.lastIndexOf(QLatin1Char('/')) + 1);
    const QString fileBase = base.mid(folder.size());
    const QString parPath = base + QStringLiteral(".par");

    QStringList names;      // as the file names have them
    std::vector<std::uint8_t> engines;
    platform::DataFile par;
    if (!par.open(parPath.toStdString())) {
        AppendLog(QStringLiteral("Table %1: its partition list %2 cannot be opened (%3); the partitions are taken "
                                 "from the files beside it.")
                      .arg(table.m_name, parPath, QString::fromStdString(par.lastError())));
    } else {
        auto bytes = par.readExactly(0, std::min(par.size(), kMaxPartitionListSize));
        auto list = bytes ? PartitionFile::parse(*bytes) : platform::Result<PartitionFile>(bytes.error());
        if (!list) {
            AppendLog(QStringLiteral("Table %1: its partition list %2 is damaged (%3); the partitions are taken from "
                                     "the files beside it.")
                          .arg(table.m_name, parPath, QString::fromStdString(list.error().what)));
        } else {
            names = list->m_names;
            engines = list->m_engines;
        }
    }
    // A server on a file system that ignores case (a Windows data folder)
    // names the files "t#p#p0" and "t#p#p0#sp#s0", in lower case.
    const QString prefix = fileBase + QStringLiteral("#P#");
    const QStringList entries = QDir(folder).entryList(QDir::Files, QDir::Name);
    const auto findFile = [&](const QString& fileName) {
        if (m_diskObject.FileExists(folder + fileName))
            return folder + fileName;
        for (const QString& entry : entries)
            if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
                return folder + entry;
        return QString();
    };
    if (names.isEmpty()) {
        for (const QString& entry : entries) {
            const qsizetype dot = entry.lastIndexOf(QLatin1Char('.'));
            const QString extension = entry.mid(dot + 1);
            if (entry.startsWith(prefix, Qt::CaseInsensitive) && dot > prefix.size()
                && (extension.compare(QLatin1String("ibd"), Qt::CaseInsensitive) == 0
                    || extension.compare(QLatin1String("MYD"), Qt::CaseInsensitive) == 0))
                names << entry.mid(prefix.size(), dot - prefix.size());
        }
        sortPartitionNames(names, table.m_partitionClause);
    }
    if (names.isEmpty()) {
        AppendLog(QStringLiteral("Table %1 is partitioned, but no partition of it was found; its rows cannot be read.")
                      .arg(table.m_name));
        return;
    }
    // The engine of the partitions' files, else the one the list names.
    bool innodb = !engines.empty() && engines.front() != PartitionFile::kMyisamEngine;
    for (const QString& name : names) {
        if (!findFile(prefix + name + QStringLiteral(".ibd")).isEmpty()) {
            innodb = true;
            break;
        }
        if (!findFile(prefix + name + QStringLiteral(".MYD")).isEmpty()) {
            innodb = false;
            break;
        }
    }
    const QString extension = innodb ? QStringLiteral(".ibd") : QStringLiteral(".MYD");
    const QString database = FrmReader::databaseNameFromPath(frmPath);
    for (const QString& name : names) {
        if (stopRequested())
            break;
        TablePartition partition;
        QStringList parts = name.split(subpartitionMark());
        for (QString& part : parts)
            part = FileNameCodec::Decode(part);
        partition.m_name = parts.join(QStringLiteral("#SP#"));
        partition.m_dataFile = findFile(prefix + name + extension);
        if (partition.m_dataFile.isEmpty()) {
            partition.m_dataFile = folder + prefix + name + extension;
            AppendLog(QStringLiteral("Table %1: the data file %2 of partition %3 is not present; that partition's "
                                     "rows are lost, the others' are read.")
                          .arg(table.m_name, partition.m_dataFile, partition.m_name));
        } else if (innodb) {
            // The dictionary names the tablespace as its file is named.
            const QString file = partition.m_dataFile.mid(folder.size());
            partition.m_rootPage = FindInnoDbTable(
                database + QLatin1Char('/') + file.left(file.size() - 4),
                QStringLiteral("Partition %1 of table %2 in database %3")
                    .arg(partition.m_name, FileNameCodec::Decode(table.m_name), FileNameCodec::Decode(database)));
        }
        table.m_partitions.push_back(partition);
    }
    table.m_engine = innodb ? QStringLiteral("innodb") : QStringLiteral("myisam");
    if (!table.m_partitions.empty()) {
        table.m_dataFile = table.m_partitions.front().m_dataFile;
        table.m_rootPage = table.m_partitions.front().m_rootPage;
    }
}

bool MySqlRepair::InstancePagesReadable()
{
    using recovery::innodb::InnodbSpaceFlags;
    if (!m_instanceFlagsTried) {
        m_instanceFlagsTried = true;
        platform::DataFile ibdata;
        const QString path = SharedTablespacePath();
        if (!path.isEmpty() && ibdata.open(path.toStdString()))
            if (auto flags = InnodbSpaceFlags::read(ibdata))
                m_instanceFlags = *flags;
    }
    return !m_instanceFlags || m_instanceFlags->unreadableReason().empty();
}

bool MySqlRepair::InnodbRowsReadable(const QString& frmPath, TableInformation& table)
{
    using recovery::innodb::InnodbSpaceFlags;
    // A tablespace of its own tells how its pages are kept; where its page 0
    // cannot tell, the definition does. ibdata1 holds neither kind of
    // compressed page (the server keeps such tables in files of their own).
    std::optional<InnodbSpaceFlags> flags;
    if (table.m_dataFile != SharedTablespacePath()) {
        platform::DataFile file;
        if (file.open(table.m_dataFile.toStdString()))
            if (auto read = InnodbSpaceFlags::read(file))
                flags = *read;
        if (!flags)
            flags = InnodbSpaceFlags::declared(declaredCompressedPageSize(table.m_options),
                                               declaredPageCompressed(table.m_options));
    }
    std::string why = flags ? flags->unreadableReason() : std::string();
    if (why.empty() && !InstancePagesReadable())
        why = m_instanceFlags->unreadableReason();
    if (why.empty())
        return true;
    AppendLog(QStringLiteral("Table %1: its rows cannot be read: %2.").arg(frmPath, QString::fromStdString(why)));
    table.m_rowsNotRead = true;
    return false;
}

std::uint8_t MySqlRepair::myiProbeByte(const QString& frmPath)
{
    QString myi = frmPath;
    myi.replace(myi.size() - 3, 3, QStringLiteral("MYI"));
    platform::DataFile file;
    if (!file.open(myi.toStdString()))
        return 0;
    auto byte = file.readExactly(5, 1);
    return byte ? (*byte)[0] : 0;
}

} // namespace engine
