// Views and triggers: shown from their definition files, and re-created in
// the recovered database with a .sql copy of each.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/ObjectDefinitionFile.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>

namespace engine {

namespace {

// Definition files are small text files; a larger one is not read whole.
constexpr qint64 kMaxDefinitionFile = 64ll << 20;

QByteArray readDefinition(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kMaxDefinitionFile);
}

// The file's name up to its first '.'.
QString baseName(const QString& path)
{
    const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return file.left(file.indexOf(QLatin1Char('.')));
}

// References to the old database qualified with its name point at the new one.
QString retarget(QString text, const QString& oldName, const QString& newName)
{
    const auto quoted = [](const QString& name) { return RowWriter::QuoteName(name) + QLatin1Char('.'); };
    text.replace(quoted(oldName), quoted(newName));
    // An unquoted qualifier only where a name cannot continue before it.
    const QRegularExpression bare(QStringLiteral("(?<![\\w$`])") + QRegularExpression::escape(oldName)
                                  + QStringLiteral("\\."));
    text.replace(bare, newName + QLatin1Char('.'));
    return text;
}

} // namespace

void MySqlRepair::ReadViewSource(const QString& path)
{
    m_objectText.clear();
    const QByteArray bytes = readDefinition(path);
    const auto values = ObjectDefinitionFile::Parse(bytes);
    // Escapes stay as stored: the preview breaks lines at "\n".
    m_objectText = ObjectDefinitionFile::Text(ObjectDefinitionFile::FromKey(bytes, "source"), values.value("client_cs_name"));
}

void MySqlRepair::ReadTriggerScript(const QString& path)
{
    const auto values = ObjectDefinitionFile::Parse(readDefinition(path));
    // Escapes stay as stored, as in a view's text: line breaks are "\n" there.
    const QList<QByteArray> triggers = ObjectDefinitionFile::QuotedListAsStored(values.value("triggers"));
    const QList<QByteArray> charsets = ObjectDefinitionFile::QuotedList(values.value("client_cs_names"));
    for (qsizetype i = 0; i < triggers.size(); ++i) {
        const QString text = ObjectDefinitionFile::Text(triggers[i], charsets.value(i));
        m_objectText = QStringLiteral("DELIMITER $$ \\n") + text + QStringLiteral("; $$\\nDELIMITER ;");
        if (m_hWndReport)
            m_hWndReport->SendMessage(WM_SHOW_OBJECT_TEXT);
    }
}

bool MySqlRepair::WriteObjectFile(const QString& newName, const QString& sourcePath, const QString& text)
{
    const QString path = m_strDataFolder + FileNameCodec::Encode(newName) + QLatin1Char('/') + baseName(sourcePath)
        + QStringLiteral(".sql");
    QFile file(path);
    // A file that is already there is left as it is.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (!file.exists())
            AppendLog(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
        return false;
    }
    // UTF-16LE without a byte-order mark, every line ending in CR LF.
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QStringEncoder encoder(QStringConverter::Utf16LE);
    const QByteArray bytes = encoder.encode(lines);
    return file.write(bytes) == bytes.size();
}

void MySqlRepair::RecoverViews(const MySqlInfo& database, const QString& newName)
{
    const QString oldName = FileNameCodec::Decode(database.m_name);
    struct View {
        QString path;
        QString name;
        QString statement;
    };
    std::vector<View> pending;
    for (const QString& path : database.m_viewFiles) {
        const auto values = ObjectDefinitionFile::Parse(readDefinition(path));
        const QByteArray charset = values.value("client_cs_name");
        // The server's own form names every table with its database, so
        // only those qualifiers need to change; the text the user wrote is
        // the fallback for files without it.
        QString select = ObjectDefinitionFile::Text(ObjectDefinitionFile::Unescape(values.value("query")), charset);
        if (select.isEmpty())
            select = ObjectDefinitionFile::Text(ObjectDefinitionFile::Unescape(values.value("source")), charset);
        if (select.isEmpty()) {
            AppendLog(QStringLiteral("The view definition %1 holds no query and was passed over.").arg(path));
            continue;
        }
        const QString name = FileNameCodec::Decode(baseName(path));
        const QString statement = QStringLiteral("create view ") + RowWriter::QuoteName(name) + QStringLiteral(" as ")
            + retarget(select, oldName, newName);
        WriteObjectFile(newName, path, statement + QLatin1Char(';'));
        pending.push_back({path, name, statement});
    }
    // A view may use another view: retry the failed ones while any succeeds.
    while (!pending.empty()) {
        std::vector<View> failed;
        for (const View& view : pending) {
            try {
                RunStatement(view.statement);
            } catch (const platform::OdbcError&) {
                failed.push_back(view);
            }
        }
        if (failed.size() == pending.size()) {
            for (const View& view : failed)
                RunLoggedStatement(view.statement, QStringLiteral("View %1 could not be created:").arg(view.name));
            break;
        }
        pending = std::move(failed);
    }
}

void MySqlRepair::RecoverTriggers(const MySqlInfo& database, const QString& newName)
{
    const QString oldName = FileNameCodec::Decode(database.m_name);
    for (const QString& path : database.m_triggerFiles) {
        const auto values = ObjectDefinitionFile::Parse(readDefinition(path));
        const QList<QByteArray> triggers = ObjectDefinitionFile::QuotedList(values.value("triggers"));
        const QList<QByteArray> charsets = ObjectDefinitionFile::QuotedList(values.value("client_cs_names"));
        QString script = QStringLiteral("DELIMITER $$\n\n");
        for (qsizetype i = 0; i < triggers.size(); ++i) {
            const QString statement = retarget(ObjectDefinitionFile::Text(triggers[i], charsets.value(i)), oldName, newName);
            script += statement + QStringLiteral("; $$\n\n");
            // The statement goes alone: DELIMITER is the command-line client's, not the server's.
            RunLoggedStatement(statement, QStringLiteral("A trigger of %1 could not be created:").arg(path));
        }
        script += QStringLiteral("delimiter ;\n\n");
        WriteObjectFile(newName, path, script);
    }
}

} // namespace engine
