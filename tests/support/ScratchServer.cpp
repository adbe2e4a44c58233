#include "tests/support/ScratchServer.h"

#include <QFile>
#include <QTextStream>

namespace testsupport {

ScratchServer ScratchServer::fromEnvironment()
{
    ScratchServer server;
    QString dir = qEnvironmentVariable("GRISOLT_SERVER_DIR");
#ifdef GRISOLT_SERVER_DIR
    if (dir.isEmpty())
        dir = QStringLiteral(GRISOLT_SERVER_DIR);
#endif
    QFile env(dir + QStringLiteral("/env"));
    if (!env.open(QIODevice::ReadOnly))
        return server;
    QTextStream in(&env);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        QString value = line.mid(eq + 1);
        if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
            value = value.mid(1, value.size() - 2);
        const QString key = line.left(eq);
        if (key == QLatin1String("PORT"))
            server.port = value;
        else if (key == QLatin1String("SOCKET"))
            server.socket = value;
        else if (key == QLatin1String("DATADIR"))
            server.dataFolder = value.endsWith(QLatin1Char('/')) ? value : value + QLatin1Char('/');
        else if (key == QLatin1String("HOST"))
            server.host = value;
    }
    return server;
}

QString ScratchServer::connectionString() const
{
    return QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=") + host + QStringLiteral(";Port=") + port
        + QStringLiteral(";DATABASE=mysql;USER=") + user + QStringLiteral(";PASSWORD=") + password
        + QStringLiteral(";OPTION=16427;");
}

} // namespace testsupport
