#pragma once

// A machine of our own for the environment tests: a registry file, a program
// folder with "sc" and the template tablespace, and services in it - real
// MariaDB servers in temporary folders, or small stand-in processes. Nothing
// here touches a server it did not make.

#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

inline const QString kProductKey = QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");

// How long a test waits for a real server to start or stop. Generous: on a
// small machine running several suites side by side a start can take a
// minute; a healthy server is far quicker and the wait ends with it.
constexpr std::chrono::seconds kServerWait{180};

// The output and exit status of a shell command.
struct CommandResult {
    int status = -1;
    std::string output;
};

inline CommandResult runCommand(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A TCP port nobody listens on right now, below the kernel's ephemeral range
// (32768 and up): the outgoing connections of the tests running beside this
// one take their ports from that range and could take a server's port
// between its stop and its next start.
inline int freePort()
{
    static unsigned next = static_cast<unsigned>(::getpid()) * 7919u;
    for (int tries = 0; tries < 500; ++tries) {
        const int port = 12000 + static_cast<int>(next++ % 20000u);
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool taken = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        const bool bindable = !taken && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (bindable)
            return port;
    }
    return 0;
}

// The last lines of a text.
inline std::string lastLines(const QByteArray& text, int count)
{
    qsizetype from = text.size();
    for (int i = 0; i <= count && from > 0; ++i)
        from = text.lastIndexOf('\n', from - 1);
    return text.mid(from < 0 ? 0 : from + 1).toStdString();
}

// The registry file and program folder of one test; GRISOLT_REGISTRY points
// at them while it lives.
class TestMachine {
public:
    TestMachine()
    {
        m_registry = m_dir.file(QStringLiteral("registry.ini"));
        ::setenv("GRISOLT_REGISTRY", m_registry.toLocal8Bit().constData(), 1);
        m_programFolder = m_dir.mkdir(QStringLiteral("program"));
        platform::Registry::setValue(kProductKey, QStringLiteral("Path"), m_programFolder);
#ifdef GRISOLT_SC_PATH
        QFile::link(QStringLiteral(GRISOLT_SC_PATH), m_programFolder + QStringLiteral("/sc"));
#endif
#ifdef GRISOLT_TEMPLATE_FILE
        QFile::copy(QStringLiteral(GRISOLT_TEMPLATE_FILE), templateFile());
#endif
    }
    ~TestMachine()
    {
        // Whatever a test left running is ours: stop it, and kill what will not stop.
        for (const QString& name : m_services) {
            if (!platform::ServiceControl::stop(name, std::chrono::seconds(20))) {
                const pid_t pid = platform::ServiceControl::processId(name);
                if (pid > 0)
                    ::kill(-pid, SIGKILL);
                platform::ServiceControl::waitFor(name, platform::ServiceState::Stopped, std::chrono::seconds(10));
            }
        }
        keepLogsOfAFailedTest();
        ::unsetenv("GRISOLT_REGISTRY");
    }
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    void addService(const QString& key, const QString& imagePath, const QString& displayName)
    {
        const QString path = platform::ServiceControl::kServicesKey + QLatin1Char('\\') + key;
        platform::Registry::setValue(path, QStringLiteral("ImagePath"), imagePath);
        platform::Registry::setValue(path, QStringLiteral("DisplayName"), displayName);
        m_services.append(key);
    }

    const TempDir& dir() const { return m_dir; }
    const QString& programFolder() const { return m_programFolder; }
    QString templateFile() const { return m_programFolder + QStringLiteral("/veltrax"); }

private:
    // The folder goes with the test; the logs of its servers stay when the
    // test failed, in failed-server-logs/ of the folder the test ran in.
    void keepLogsOfAFailedTest() const
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (!test || !::testing::Test::HasFailure())
            return;
        const QString kept = QDir::currentPath() + QStringLiteral("/failed-server-logs/%1.%2-%3")
                                                       .arg(QString::fromUtf8(test->test_suite_name()),
                                                            QString::fromUtf8(test->name()))
                                                       .arg(::getpid());
        const auto copied = runCommand("mkdir -p '" + kept.toStdString() + "' && cd '" + m_dir.path().toStdString()
                                       + "' && find . -maxdepth 3 -name '*.log' -exec cp --parents {} '" + kept.toStdString()
                                       + "' \\;");
        std::fprintf(stderr, "The servers' logs of this test are kept in %s%s\n", kept.toLocal8Bit().constData(),
                     copied.status == 0 ? "" : " (not all could be copied)");
    }

    TempDir m_dir;
    QString m_registry;
    QString m_programFolder;
    QStringList m_services;
};

// A MariaDB server in a folder of the test machine, registered as a service
// whose command line names its my.ini. Made with mariadb-install-db, or on a
// copy of the data folder copyOf (a real server's, e.g. a fixture set's);
// not started.
class TestServer {
public:
    TestServer(TestMachine& machine, const QString& name, const QString& extraOptions = {}, const QString& copyOf = {})
        : m_name(name)
    {
        m_root = machine.dir().mkdir(name);
        m_dataDir = m_root + QStringLiteral("/data");
        m_myIni = m_root + QStringLiteral("/my.ini");
        // A server clears "#sql" files from its tmpdir at start-up: never share one.
        QDir().mkpath(m_root + QStringLiteral("/tmp"));
        m_port = QString::number(freePort());
        {
            QFile ini(m_myIni);
            if (ini.open(QIODevice::WriteOnly))
                ini.write(QStringLiteral("[client]\nport=%1\nsocket=%2/sock\nuser=root\n\n"
                                         "[mysqld]\ndatadir=%3\nport=%1\nsocket=%2/sock\npid-file=%2/server.pid\n"
                                         "log-error=%2/server.log\ntmpdir=%2/tmp\nuser=root\nbind-address=127.0.0.1\n"
                                         "skip-name-resolve\nskip-log-bin\n%4\n%5\n")
                              .arg(m_port, m_root, m_dataDir, QString::fromLatin1(kInnodbOptions), extraOptions)
                              .toLocal8Bit());
        }
        // The data folder is named on the command line too: whatever my.ini
        // holds, the installer never goes near the system's own data folder.
        const CommandResult install = !copyOf.isEmpty()
            ? run("cp -a " + quoted(copyOf) + " " + quoted(m_dataDir))
            : run("mariadb-install-db --defaults-file=" + quoted(m_myIni) + " --datadir=" + quoted(m_dataDir)
                  + " --auth-root-authentication-method=normal --skip-test-db --skip-name-resolve");
        m_installed = install.status == 0 && QFileInfo::exists(m_dataDir + QStringLiteral("/mysql"));
        if (!m_installed)
            std::fprintf(stderr, "mariadb-install-db failed:\n%s\n%s\n", install.output.c_str(), readAll(m_myIni).constData());
        machine.addService(name, QStringLiteral("/usr/sbin/mariadbd --defaults-file=") + m_myIni, name);
    }

    // InnoDB settings that the template tablespace is made with too.
    // Plain file I/O: servers started and stopped by the dozen in a sandbox have
    // stalled at start-up with io_uring.
    static constexpr char kInnodbOptions[] =
        "innodb-buffer-pool-size=32M\ninnodb-log-file-size=16M\ninnodb-use-native-aio=0";

    bool installed() const { return m_installed; }
    const QString& name() const { return m_name; }
    const QString& myIni() const { return m_myIni; }
    const QString& dataDir() const { return m_dataDir; }
    const QString& port() const { return m_port; }
    QString ibdata() const { return m_dataDir + QStringLiteral("/ibdata1"); }

    // Runs SQL as root over TCP, as the program's own connection does.
    CommandResult sql(const std::string& statements) const
    {
        return run("mariadb --no-defaults -uroot --protocol=tcp -h127.0.0.1 -P" + m_port.toStdString()
                   + " --connect-timeout=5 -N -e " + quotedShell(statements));
    }
    bool acceptsConnections() const { return sql("SELECT 1").status == 0; }
    // The server's error log, after what its service wrote while starting.
    std::string log() const
    {
        return (readAll(platform::ServiceControl::logFile(m_name)) + readAll(m_root + QStringLiteral("/server.log")))
            .toStdString();
    }
    // Their ends: enough to tell why a start failed, short enough to read in
    // a failure message.
    std::string logTail() const
    {
        return "--- end of the service's output:\n" + lastLines(readAll(platform::ServiceControl::logFile(m_name)), 15)
            + "--- end of the server's error log:\n" + lastLines(readAll(m_root + QStringLiteral("/server.log")), 40);
    }

    static std::string quoted(const QString& path) { return quotedShell(path.toStdString()); }
    static std::string quotedShell(const std::string& text)
    {
        std::string out = "'";
        for (char c : text)
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }

private:
    static CommandResult run(const std::string& command) { return runCommand(command); }

    QString m_name;
    QString m_root;
    QString m_dataDir;
    QString m_myIni;
    QString m_port;
    bool m_installed = false;
};

} // namespace testsupport
