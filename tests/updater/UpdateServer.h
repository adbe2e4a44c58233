#pragma once

#include <QProcess>
#include <QString>

namespace testsupport {

// tests/updater/update-server.py serving root on 127.0.0.1 at a free port,
// for as long as this object lives (and never longer than two minutes).
class UpdateServer {
public:
    explicit UpdateServer(const QString& root);
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // 0 when the server did not start.
    int port() const { return m_port; }
    // "127.0.0.1:<port>"
    QString hostAndPort() const;
    // "http://127.0.0.1:<port>/upgrade/"
    QString baseUrl() const;

    // A port nothing listens on (bound once, then released).
    static int deadPort();

private:
    QProcess m_process;
    int m_port = 0;
};

} // namespace testsupport
