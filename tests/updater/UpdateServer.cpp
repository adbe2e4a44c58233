#include "UpdateServer.h"

#include <QTcpServer>

namespace testsupport {

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;

} // namespace

UpdateServer::UpdateServer(const QString& root)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"),
                    {QStringLiteral(GRISOLT_UPDATE_SERVER_SCRIPT), root, QStringLiteral("--lifetime"),
                     QStringLiteral("120")});
    if (!m_process.waitForStarted(kStartTimeoutMs))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(kStartTimeoutMs)) {
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("PORT "))
        m_port = line.mid(5).toInt();
}

UpdateServer::~UpdateServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the server ends when its input closes
    if (!m_process.waitForFinished(kStopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopTimeoutMs);
    }
}

QString UpdateServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString UpdateServer::baseUrl() const
{
    return QStringLiteral("http://%1/upgrade/").arg(hostAndPort());
}

int UpdateServer::deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace testsupport
