#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace engine {

// What a view definition file keeps beside the query: ALGORITHM, DEFINER,
// SQL SECURITY and WITH CHECK OPTION, made into the CREATE VIEW statement
// that SHOW CREATE VIEW of the original printed.
class ViewDefinition {
public:
    // From the keys of a view file (ObjectDefinitionFile::Parse). A key the
    // file lacks (servers that did not write it yet) gives no clause, as the
    // server then made the view without one. A value the server never writes
    // (an unknown number, a cut line) also gives no clause, and a line in
    // problems() that says which.
    static ViewDefinition FromValues(const QMap<QByteArray, QByteArray>& values);

    // "CREATE ALGORITHM=.. DEFINER=.. SQL SECURITY .. VIEW name AS select
    // WITH .. CHECK OPTION", each clause where the file gave it; a file that
    // gave none makes "create view name as select". name is quoted already.
    QString CreateStatement(const QString& quotedName, const QString& select, bool withDefiner = true) const;

    bool HasDefiner() const { return !m_definer.isEmpty(); }
    // Whether the view runs with its definer's rights (SQL SECURITY DEFINER,
    // also where the file gives no SQL SECURITY), not with its caller's.
    bool RunsAsDefiner() const { return m_security != QLatin1String("INVOKER"); }
    // `user`@`host` as the server prints it; a role (no host) is `role`.
    const QString& Definer() const { return m_definer; }
    const QStringList& Problems() const { return m_problems; }

private:
    QString m_algorithm;   // "UNDEFINED", "MERGE", "TEMPTABLE" or empty
    QString m_security;    // "DEFINER", "INVOKER" or empty
    QString m_checkOption; // "LOCAL", "CASCADED" or empty
    QString m_definer;
    QStringList m_problems;
};

} // namespace engine
