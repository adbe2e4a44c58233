// Views and triggers: shown from their definition files, and re-created in
// the recovered database with a .sql copy of each.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/ObjectDefinitionFile.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "engine/TriggerSession.h"
#include "engine/ViewDefinition.h"

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

// The trigger's name as its statement gives it, for the log.
QString triggerName(const QString& statement, qsizetype index)
{
    static const QRegularExpression name(QStringLiteral("\\bTRIGGER\\s+(\\S+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = name.match(statement);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("number %1").arg(index + 1);
}

bool isAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Server errors the view recovery answers.
constexpr long kAccessDeniedNeedPrivilege = 1227; // ER_SPECIFIC_ACCESS_DENIED_ERROR
constexpr long kNoSuchDefiner = 1449;             // ER_NO_SUCH_USER

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
        QString name;
        QString statement;
        QString withoutDefiner; // empty for a view without a DEFINER clause
        QString definer;
        bool definerRights = true; // SQL SECURITY DEFINER: the definer must exist
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
        const ViewDefinition definition = ViewDefinition::FromValues(values);
        for (const QString& problem : definition.Problems())
            AppendLog(QStringLiteral("View %1: %2.").arg(name, problem));
        const QString quotedName = RowWriter::QuoteName(name);
        const QString query = retarget(select, oldName, newName);
        View view{name, definition.CreateStatement(quotedName, query), QString(), definition.Definer(),
                  definition.RunsAsDefiner()};
        if (definition.HasDefiner())
            view.withoutDefiner = definition.CreateStatement(quotedName, query, false);
        WriteObjectFile(newName, path, view.statement + QLatin1Char(';'));
        pending.push_back(std::move(view));
    }
    // Throws the server's refusal.
    const auto create = [this](const View& view) {
        try {
            RunStatement(view.statement);
        } catch (const platform::OdbcError& error) {
            if (view.withoutDefiner.isEmpty() || error.code() != kAccessDeniedNeedPrivilege)
                throw;
            // Only an account with SET USER (or SUPER) may name another
            // account as definer; the login's own is the one left.
            RunStatement(view.withoutDefiner);
            AppendLog(QStringLiteral("View %1 was made without its DEFINER=%2, which the server lets only an account "
                                     "with the SET USER or SUPER privilege give: its definer is the account of this "
                                     "login. Its .sql file keeps the original clause.")
                          .arg(view.name, view.definer));
            return;
        }
        // A view that runs with its caller's rights needs no definer account.
        if (!view.definer.isEmpty() && view.definerRights && DefinerWasMissing())
            AppendLog(QStringLiteral("View %1: its definer %2 does not exist on this server, which keeps the view but "
                                     "refuses to run it until the account exists. Create the account (CREATE USER %2) "
                                     "with the rights the view needs, or make the view again with another DEFINER.")
                          .arg(view.name, view.definer));
    };
    // A view may use another view: retry the failed ones while any succeeds.
    while (!pending.empty()) {
        std::vector<View> failed;
        for (const View& view : pending) {
            try {
                create(view);
            } catch (const platform::OdbcError&) {
                failed.push_back(view);
            }
        }
        if (failed.size() == pending.size()) {
            for (const View& view : failed) {
                try {
                    create(view);
                } catch (const platform::OdbcError& error) {
                    ++m_statementsFailed;
                    AppendLog(QStringLiteral("View %1 could not be created:").arg(view.name) + QLatin1Char('\n')
                              + ComErrorText(error));
                }
            }
            break;
        }
        pending = std::move(failed);
    }
}

bool MySqlRepair::DefinerWasMissing()
{
    // The server creates such a view with a note, not an error.
    try {
        for (const auto& row : m_connection->query(QStringLiteral("SHOW WARNINGS")))
            if (row.size() > 1 && row[1] == QString::number(kNoSuchDefiner))
                return true;
    } catch (const platform::OdbcError&) {
    }
    return false;
}

std::optional<TriggerSession> MySqlRepair::ConnectionSession()
{
    try {
        const auto rows = m_connection->query(QStringLiteral(
            "SELECT @@SESSION.sql_mode, @@SESSION.character_set_client, @@SESSION.collation_connection"));
        if (rows.size() == 1 && rows[0].size() == 3) {
            TriggerSession session;
            session.m_sqlMode = rows[0][0].value_or(QString());
            session.m_client = rows[0][1].value_or(QString());
            session.m_collation = rows[0][2].value_or(QString());
            return session;
        }
    } catch (const platform::OdbcError&) {
    }
    return std::nullopt;
}

void MySqlRepair::RecoverTriggers(const MySqlInfo& database, const QString& newName)
{
    const QString oldName = FileNameCodec::Decode(database.m_name);
    const std::optional<TriggerSession> own = m_connection ? ConnectionSession() : std::nullopt;
    for (const QString& path : database.m_triggerFiles) {
        const auto values = ObjectDefinitionFile::Parse(readDefinition(path));
        const QList<QByteArray> triggers = ObjectDefinitionFile::QuotedList(values.value("triggers"));
        const QList<QByteArray> charsets = ObjectDefinitionFile::QuotedList(values.value("client_cs_names"));
        QString script = QStringLiteral("DELIMITER $$\n\n");
        for (qsizetype i = 0; i < triggers.size(); ++i) {
            const QString statement = retarget(ObjectDefinitionFile::Text(triggers[i], charsets.value(i)), oldName, newName);
            const QString name = triggerName(statement, i);
            QStringList problems;
            const TriggerSession made = TriggerSession::FromValues(values, i, problems);
            for (const QString& problem : problems)
                AppendLog(QStringLiteral("Trigger %1 of %2: %3.").arg(name, path, problem));
            // The server parses and runs a trigger under the settings it was
            // made under; the connection's own come back after it, for the
            // next trigger and the statements after.
            const TriggerSession changes = own ? made.ChangesFrom(*own, isAscii(statement)) : TriggerSession();
            const bool changed = !changes.IsEmpty()
                && RunLoggedStatement(changes.SetStatement(),
                                      QStringLiteral("Trigger %1 of %2 could not be given the settings it was made "
                                                     "under, and is made under the connection's:")
                                          .arg(name, path));
            if (changed)
                script += changes.SetStatement() + QStringLiteral(" $$\n\n");
            script += statement + QStringLiteral("; $$\n\n");
            // The statement goes alone: DELIMITER is the command-line client's, not the server's.
            RunLoggedStatement(statement, QStringLiteral("A trigger of %1 could not be created:").arg(path));
            if (changed) {
                const QString back = own->ValuesOf(changes).SetStatement();
                script += back + QStringLiteral(" $$\n\n");
                if (!RunLoggedStatement(back, QStringLiteral("The connection's own settings could not be put back "
                                                             "after trigger %1; it is opened again:")
                                                  .arg(name))) {
                    CloseConnection();
                    OpenConnection();
                }
            }
        }
        script += QStringLiteral("delimiter ;\n\n");
        WriteObjectFile(newName, path, script);
    }
}

} // namespace engine
