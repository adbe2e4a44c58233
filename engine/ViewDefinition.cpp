// The clauses of a view file, as the server writes them:
//
//   key                 values
//   algorithm           0 UNDEFINED; MariaDB (files with "mariadb-version="):
//                       1 MERGE, 2 TEMPTABLE; MySQL (and so files without
//                       that key): 1 TEMPTABLE, 2 MERGE, the two swapped
//   suid                0 INVOKER, 1 DEFINER, 2 none given (shown as DEFINER)
//   with_check_option   0 none, 1 LOCAL, 2 CASCADED
//   definer_user        escaped like the query; a role's definer_host is empty
//   definer_host
#include "engine/ViewDefinition.h"

#include "engine/ObjectDefinitionFile.h"
#include "engine/RowWriter.h"

#include <array>
#include <optional>

namespace engine {

namespace {

// A decimal value the server wrote, or nothing for anything else.
std::optional<unsigned> smallNumber(const QByteArray& value)
{
    if (value.isEmpty() || value.size() > 3)
        return std::nullopt;
    unsigned n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n;
}

QString describe(const QByteArray& key, const QByteArray& value)
{
    if (value.isEmpty())
        return QStringLiteral("its %1= line has no value").arg(QString::fromLatin1(key));
    return QStringLiteral("its %1= value \"%2\" is not one the server writes")
        .arg(QString::fromLatin1(key), QString::fromUtf8(value.left(40)));
}

} // namespace

ViewDefinition ViewDefinition::FromValues(const QMap<QByteArray, QByteArray>& values)
{
    ViewDefinition view;
    // One numbered clause: nothing when the key is missing, the name for
    // its number, or a problem.
    const auto clause = [&](const QByteArray& key, const auto& names, const char* what) -> QString {
        if (!values.contains(key))
            return {};
        const QByteArray value = values.value(key).trimmed();
        const auto n = smallNumber(value);
        if (n && *n < names.size())
            return QString::fromLatin1(names[*n]);
        view.m_problems << describe(key, value) + QStringLiteral("; the view is made without its %1 clause")
                                                      .arg(QLatin1String(what));
        return {};
    };
    const bool mariadb = values.contains("mariadb-version");
    static constexpr std::array<const char*, 3> kMariadbAlgorithms{"UNDEFINED", "MERGE", "TEMPTABLE"};
    static constexpr std::array<const char*, 3> kMysqlAlgorithms{"UNDEFINED", "TEMPTABLE", "MERGE"};
    // 2 is the server's "none given": the view gets none again.
    static constexpr std::array<const char*, 3> kSecurity{"INVOKER", "DEFINER", ""};
    static constexpr std::array<const char*, 3> kCheckOptions{"", "LOCAL", "CASCADED"};
    view.m_algorithm = clause("algorithm", mariadb ? kMariadbAlgorithms : kMysqlAlgorithms, "ALGORITHM");
    view.m_security = clause("suid", kSecurity, "SQL SECURITY");
    view.m_checkOption = clause("with_check_option", kCheckOptions, "CHECK OPTION");

    const bool hasUser = values.contains("definer_user");
    const bool hasHost = values.contains("definer_host");
    if (hasUser && hasHost && !values.value("definer_user").isEmpty()) {
        const QString user = QString::fromUtf8(ObjectDefinitionFile::Unescape(values.value("definer_user")));
        const QString host = QString::fromUtf8(ObjectDefinitionFile::Unescape(values.value("definer_host")));
        view.m_definer = RowWriter::QuoteName(user);
        if (!host.isEmpty())
            view.m_definer += QLatin1Char('@') + RowWriter::QuoteName(host);
    } else if (hasUser || hasHost) {
        view.m_problems << (hasUser && hasHost ? QStringLiteral("its definer_user= line has no value")
                                               : QStringLiteral("its definer is cut (%1= is missing)")
                                                     .arg(QLatin1String(hasUser ? "definer_host" : "definer_user")))
                + QStringLiteral("; the view is made without its DEFINER clause");
    }
    return view;
}

QString ViewDefinition::CreateStatement(const QString& quotedName, const QString& select, bool withDefiner) const
{
    const bool definer = withDefiner && HasDefiner();
    if (m_algorithm.isEmpty() && m_security.isEmpty() && m_checkOption.isEmpty() && !definer)
        return QStringLiteral("create view ") + quotedName + QStringLiteral(" as ") + select;
    QString sql = QStringLiteral("CREATE");
    if (!m_algorithm.isEmpty())
        sql += QStringLiteral(" ALGORITHM=") + m_algorithm;
    if (definer)
        sql += QStringLiteral(" DEFINER=") + m_definer;
    if (!m_security.isEmpty())
        sql += QStringLiteral(" SQL SECURITY ") + m_security;
    sql += QStringLiteral(" VIEW ") + quotedName + QStringLiteral(" AS ") + select;
    if (!m_checkOption.isEmpty())
        sql += QStringLiteral(" WITH ") + m_checkOption + QStringLiteral(" CHECK OPTION");
    return sql;
}

} // namespace engine
