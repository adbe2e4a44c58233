#include "platform/ServiceControl.h"

#include "platform/ArgumentVector.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <algorithm>
#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platform {

const QString ServiceControl::kServicesKey = QStringLiteral("SYSTEM\\CurrentControlSet\\Services");

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);
// How long a server that listens is given to greet a connection. A busy
// machine can take a while to give the connection its thread.
constexpr auto kAnswerWait = std::chrono::milliseconds(2000);
// A server sent a stop in its first moments can hang as it would between
// opening its sockets and serving them.
constexpr double kYoungSeconds = 1.0;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString keyPath(const QString& key)
{
    return ServiceControl::kServicesKey + QLatin1Char('\\') + key;
}

// A key name made safe to be part of a file name.
QString fileStem(const QString& key)
{
    QString stem = key;
    for (QChar& c : stem)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return stem;
}

QString pidFile(const QString& key)
{
    return ServiceControl::stateFolder() + QLatin1Char('/') + fileStem(key) + QStringLiteral(".pid");
}

QString stoppingFile(const QString& key)
{
    return ServiceControl::stateFolder() + QLatin1Char('/') + fileStem(key) + QStringLiteral(".stopping");
}

QString readyFile(const QString& key)
{
    return ServiceControl::stateFolder() + QLatin1Char('/') + fileStem(key) + QStringLiteral(".ready");
}

// One process as /proc shows it. The start time tells a recorded process
// from a later one that was given the same pid.
struct ProcessInfo {
    pid_t pid = 0;
    char state = 0;
    unsigned long long startTime = 0;
};

bool readProcess(pid_t pid, ProcessInfo& info)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    // The command name is in parentheses and may hold anything, so the
    // fields are counted from the last closing one.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    // fields[0] is field 3 (state); the start time is field 22.
    if (fields.size() < 20 || fields[0].isEmpty())
        return false;
    info.pid = pid;
    info.state = fields[0].at(0);
    bool ok = false;
    info.startTime = fields[19].toULongLong(&ok);
    return ok;
}

bool alive(const ProcessInfo& info)
{
    // A zombie has exited; only its parent has not collected it yet.
    return info.state != 'Z' && info.state != 'X' && info.state != 'x';
}

QStringList commandLineOf(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    QStringList args;
    for (const QByteArray& arg : bytes.split('\0'))
        args.append(QString::fromLocal8Bit(arg));
    return args;
}

QStringList imageArguments(const QString& key)
{
    return QProcess::splitCommand(Registry::value(keyPath(key), QStringLiteral("ImagePath")));
}

// A live process running exactly this command line, however it was started.
pid_t findByCommandLine(const QStringList& args)
{
    if (args.isEmpty())
        return 0;
    const auto entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric || pid == ::getpid())
            continue;
        ProcessInfo info;
        if (readProcess(pid, info) && alive(info) && commandLineOf(pid) == args)
            return pid;
    }
    return 0;
}

bool writePidFile(const QString& key, const ProcessInfo& info)
{
    QDir().mkpath(ServiceControl::stateFolder());
    QSaveFile file(pidFile(key));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::number(info.pid) + ' ' + QByteArray::number(info.startTime) + '\n');
    return file.commit();
}

// The recorded process if it still lives; else one running the service's
// command line, which is then recorded.
pid_t liveProcess(const QString& key)
{
    QFile file(pidFile(key));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = file.readAll().trimmed().split(' ');
        file.close();
        ProcessInfo info;
        bool ok = parts.size() == 2;
        const pid_t pid = ok ? parts[0].toInt(&ok) : 0;
        if (ok && pid > 0 && readProcess(pid, info) && alive(info) && info.startTime == parts[1].toULongLong())
            return pid;
        QFile::remove(pidFile(key));
    }
    const pid_t adopted = findByCommandLine(imageArguments(key));
    ProcessInfo info;
    if (adopted > 0 && readProcess(adopted, info))
        writePidFile(key, info);
    if (adopted == 0) {
        QFile::remove(stoppingFile(key));
        QFile::remove(readyFile(key));
    }
    return adopted;
}

// Socket inodes of the process's open files.
std::set<QByteArray> socketInodes(pid_t pid)
{
    std::set<QByteArray> inodes;
    const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
    const auto fds = QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot);
    for (const QString& fd : fds) {
        const QString target = QFile::symLinkTarget(fdDir + QLatin1Char('/') + fd);
        const QString name = target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
        if (name.startsWith(QLatin1String("socket:[")) && name.endsWith(QLatin1Char(']')))
            inodes.insert(name.mid(8, name.size() - 9).toLatin1());
    }
    return inodes;
}

// One socket the process accepts connections on.
struct Listener {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The local-socket table gives the flags in column 4 (0x10000 = accepting),
// the inode in column 7 and the path, if any, after it; "@" starts the name
// of an abstract socket.
void localListeners(const QString& table, const std::set<QByteArray>& inodes, std::vector<Listener>& found)
{
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return;
    file.readLine(); // header
    while (!file.atEnd()) {
        const QList<QByteArray> cols = file.readLine().simplified().split(' ');
        bool ok = false;
        const unsigned long flags = cols.size() > 7 ? cols[3].toULong(&ok, 16) : 0;
        if (!ok || !(flags & 0x10000UL) || !inodes.count(cols[6]))
            continue;
        const QByteArray path = cols.mid(7).join(' ');
        Listener listener;
        auto* address = reinterpret_cast<sockaddr_un*>(&listener.address);
        if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof address->sun_path)
            continue;
        address->sun_family = AF_UNIX;
        std::memcpy(address->sun_path, path.constData(), static_cast<std::size_t>(path.size()));
        if (path.startsWith('@'))
            address->sun_path[0] = '\0';
        listener.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + static_cast<std::size_t>(path.size())
                                                 + (path.startsWith('@') ? 0 : 1));
        found.push_back(listener);
    }
}

// The TCP tables give the local address in column 2 (the address as the
// kernel holds it, in words of 32 bits printed in hex, then the port), the
// state in column 4 ("0A" = LISTEN) and the inode in column 10. A socket
// bound to any address is reached on the loopback one.
void tcpListeners(const QString& table, const std::set<QByteArray>& inodes, bool v6, std::vector<Listener>& found)
{
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return;
    file.readLine(); // header
    while (!file.atEnd()) {
        const QList<QByteArray> cols = file.readLine().simplified().split(' ');
        if (cols.size() <= 9 || cols[3] != "0A" || !inodes.count(cols[9]))
            continue;
        const QList<QByteArray> local = cols[1].split(':');
        bool portOk = false;
        const unsigned port = local.size() == 2 ? local[1].toUInt(&portOk, 16) : 0;
        if (!portOk || local[0].size() != (v6 ? 32 : 8))
            continue;
        std::uint32_t words[4] = {};
        bool ok = true;
        for (int i = 0; i < (v6 ? 4 : 1) && ok; ++i)
            words[i] = local[0].mid(i * 8, 8).toUInt(&ok, 16);
        if (!ok)
            continue;
        Listener listener;
        if (v6) {
            auto* address = reinterpret_cast<sockaddr_in6*>(&listener.address);
            address->sin6_family = AF_INET6;
            address->sin6_port = htons(static_cast<std::uint16_t>(port));
            std::memcpy(&address->sin6_addr, words, sizeof words);
            if (IN6_IS_ADDR_UNSPECIFIED(&address->sin6_addr))
                address->sin6_addr = in6addr_loopback;
            listener.length = sizeof(sockaddr_in6);
        } else {
            auto* address = reinterpret_cast<sockaddr_in*>(&listener.address);
            address->sin_family = AF_INET;
            address->sin_port = htons(static_cast<std::uint16_t>(port));
            address->sin_addr.s_addr = words[0];
            if (address->sin_addr.s_addr == htonl(INADDR_ANY))
                address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            listener.length = sizeof(sockaddr_in);
        }
        found.push_back(listener);
    }
}

// The sockets the process listens on, local ones first: they need neither a
// port nor the network.
std::vector<Listener> listeners(pid_t pid)
{
    std::vector<Listener> found;
    const std::set<QByteArray> inodes = socketInodes(pid);
    if (inodes.empty())
        return found;
    const QString net = QStringLiteral("/proc/%1/net/").arg(pid);
    localListeners(net + QStringLiteral("unix"), inodes, found);
    tcpListeners(net + QStringLiteral("tcp"), inodes, false, found);
    tcpListeners(net + QStringLiteral("tcp6"), inodes, true, found);
    return found;
}

// True when a connection to the first socket that takes one is sent a
// greeting within wait. A server queues connections from the moment it
// opens its sockets but greets them only once it is ready to serve; the
// connection is closed at once, before any login.
bool answers(const std::vector<Listener>& sockets, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    const auto left = [&deadline] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(ms.count(), 0));
    };
    for (const Listener& listener : sockets) {
        const int fd = ::socket(listener.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&listener.address), listener.length) == 0;
        if (!connected && errno == EINPROGRESS) {
            pollfd out{fd, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            connected = ::poll(&out, 1, left()) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0
                && error == 0;
        }
        if (!connected) {
            ::close(fd);
            continue;
        }
        pollfd in{fd, POLLIN, 0};
        char byte = 0;
        const bool greeted = ::poll(&in, 1, left()) == 1 && ::recv(fd, &byte, 1, 0) == 1;
        ::close(fd);
        return greeted;
    }
    return false;
}

// Seconds since the process began.
double ageOf(const ProcessInfo& info)
{
    QFile file(QStringLiteral("/proc/uptime"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const double uptime = file.readAll().split(' ').value(0).toDouble();
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return ticks > 0 ? uptime - static_cast<double>(info.startTime) / static_cast<double>(ticks) : 0;
}

QByteArray processTag(const ProcessInfo& info)
{
    return QByteArray::number(info.pid) + ' ' + QByteArray::number(info.startTime);
}

// Whether this very process was seen answering: once a server has answered
// it serves until it stops, and is not asked again.
bool answeredBefore(const QString& key, const ProcessInfo& info)
{
    QFile file(readyFile(key));
    return file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == processTag(info);
}

void recordAnswer(const QString& key, const ProcessInfo& info)
{
    QSaveFile file(readyFile(key));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(processTag(info) + '\n');
        file.commit();
    }
}

// Running or start pending, for a live process of the service.
ServiceState liveState(const QString& key, pid_t pid, std::chrono::milliseconds answerWait)
{
    ProcessInfo info;
    if (!readProcess(pid, info))
        return ServiceState::StartPending;
    const std::vector<Listener> sockets = listeners(pid);
    if (sockets.empty())
        return ServiceState::StartPending;
    if (answeredBefore(key, info))
        return ServiceState::Running;
    if (!answers(sockets, answerWait))
        return ServiceState::StartPending;
    recordAnswer(key, info);
    return ServiceState::Running;
}

// Starts args detached: a double fork gives the process a parent that is not
// us, and setsid a session and process group of its own, so no zombie is left for us to collect and the
// service outlives the program (or the "sc" run) that started it. Returns its
// pid, or 0 with errno of the failed step.
pid_t spawnDetached(const QString& program, const QStringList& args, const QString& log, int& error)
{
    const QByteArray path = QFile::encodeName(program);
    ArgumentVector argv(args);

    const int logFd = ::open(QFile::encodeName(log).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int pidPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (logFd < 0 || nullFd < 0 || ::pipe2(pidPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        error = errno;
        for (int fd : {logFd, nullFd, pidPipe[0], pidPipe[1], errPipe[0], errPipe[1]})
            if (fd >= 0)
                ::close(fd);
        return 0;
    }

    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::setsid();
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
                ::signal(sig, SIG_DFL);
            ::dup2(nullFd, 0);
            ::dup2(logFd, 1);
            ::dup2(logFd, 2);
            if (::chdir("/") == 0)
                ::execv(path.constData(), argv.data());
            const int code = errno;
            [[maybe_unused]] auto n = ::write(errPipe[1], &code, sizeof code);
            ::_exit(127);
        }
        [[maybe_unused]] auto n = ::write(pidPipe[1], &grandchild, sizeof grandchild);
        ::_exit(0);
    }
    for (int fd : {logFd, nullFd, pidPipe[1], errPipe[1]})
        ::close(fd);
    if (child < 0) {
        error = errno;
        ::close(pidPipe[0]);
        ::close(errPipe[0]);
        return 0;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t pid = 0;
    if (::read(pidPipe[0], &pid, sizeof pid) != static_cast<ssize_t>(sizeof pid))
        pid = 0;
    // Closed without a word when exec succeeded; the exec's errno otherwise.
    int execError = 0;
    ssize_t got;
    while ((got = ::read(errPipe[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    ::close(pidPipe[0]);
    ::close(errPipe[0]);
    if (pid <= 0) {
        error = EAGAIN;
        return 0;
    }
    if (got == static_cast<ssize_t>(sizeof execError)) {
        error = execError;
        return 0;
    }
    return pid;
}

} // namespace

QString ServiceControl::resolve(const QString& name)
{
    if (name.isEmpty())
        return {};
    const QStringList keys = Registry::subKeys(kServicesKey);
    for (const QString& key : keys)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return key;
    for (const QString& key : keys)
        if (Registry::value(keyPath(key), QStringLiteral("DisplayName")).compare(name, Qt::CaseInsensitive) == 0)
            return key;
    return {};
}

QString ServiceControl::stateFolder()
{
    return QFileInfo(Registry::filePath()).absolutePath() + QStringLiteral("/services");
}

QString ServiceControl::logFile(const QString& name)
{
    const QString key = resolve(name);
    return stateFolder() + QLatin1Char('/') + fileStem(key.isEmpty() ? name : key) + QStringLiteral(".log");
}

pid_t ServiceControl::processId(const QString& name)
{
    const QString key = resolve(name);
    return key.isEmpty() ? 0 : liveProcess(key);
}

ServiceState ServiceControl::query(const QString& name)
{
    const QString key = resolve(name);
    if (key.isEmpty() || imageArguments(key).isEmpty())
        return ServiceState::Unknown;
    const pid_t pid = liveProcess(key);
    if (pid == 0)
        return ServiceState::Stopped;
    QFile marker(stoppingFile(key));
    if (marker.open(QIODevice::ReadOnly) && marker.readAll().trimmed().toInt() == pid)
        return ServiceState::StopPending;
    return liveState(key, pid, kAnswerWait);
}

bool ServiceControl::start(const QString& name, QString* error)
{
    const QString key = resolve(name);
    const QStringList args = key.isEmpty() ? QStringList() : imageArguments(key);
    if (args.isEmpty()) {
        setError(error, QStringLiteral("The specified service does not exist as an installed service."));
        return false;
    }
    if (liveProcess(key) != 0) {
        setError(error, QStringLiteral("An instance of the service is already running."));
        return false;
    }
    const QString program = args.first().contains(QLatin1Char('/')) ? args.first()
                                                                    : QStandardPaths::findExecutable(args.first());
    if (program.isEmpty()) {
        setError(error, QStringLiteral("The system cannot find the file specified: ") + args.first());
        return false;
    }
    if (!QDir().mkpath(stateFolder())) {
        setError(error, QStringLiteral("Cannot create ") + stateFolder());
        return false;
    }
    QFile::remove(stoppingFile(key));
    QFile::remove(readyFile(key));
    int code = 0;
    const pid_t pid = spawnDetached(program, args, logFile(key), code);
    if (pid == 0) {
        setError(error, QString::fromLocal8Bit(std::strerror(code)) + QStringLiteral(": ") + program);
        return false;
    }
    ProcessInfo info;
    if (!readProcess(pid, info)) {
        // It was started and has gone already; there is nothing to record.
        return true;
    }
    if (!writePidFile(key, info)) {
        setError(error, QStringLiteral("Started, but cannot record the process in ") + stateFolder());
        return false;
    }
    return true;
}

bool ServiceControl::requestStop(const QString& name, std::chrono::milliseconds startingWait, QString* error)
{
    const QString key = resolve(name);
    if (key.isEmpty()) {
        setError(error, QStringLiteral("The specified service does not exist as an installed service."));
        return false;
    }
    const pid_t pid = liveProcess(key);
    if (pid == 0)
        return true;
    ProcessInfo info;
    const auto deadline = std::chrono::steady_clock::now() + startingWait;
    for (;;) {
        ProcessInfo now;
        if (!readProcess(pid, now) || !alive(now) || (info.pid != 0 && now.startTime != info.startTime))
            return true; // gone while it started
        info = now;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        const bool listening = !listeners(pid).empty();
        if (listening ? liveState(key, pid, std::min(left, kAnswerWait)) == ServiceState::Running
                      : ageOf(info) >= kYoungSeconds)
            break;
        std::this_thread::sleep_for(kPollInterval);
    }
    QSaveFile marker(stoppingFile(key));
    if (marker.open(QIODevice::WriteOnly)) {
        marker.write(QByteArray::number(pid) + '\n');
        marker.commit();
    }
    if (::kill(pid, SIGTERM) != 0 && errno != ESRCH) {
        setError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool ServiceControl::stop(const QString& name, std::chrono::milliseconds timeout, QString* error)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!requestStop(name, timeout / 2, error))
        return false;
    const auto left = std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()),
                               std::chrono::milliseconds(0));
    QString seen;
    if (waitFor(name, ServiceState::Stopped, left, {}, &seen))
        return true;
    setError(error, QStringLiteral("The service did not stop in time (%1).").arg(seen));
    return false;
}

bool ServiceControl::waitFor(const QString& name, ServiceState state, std::chrono::milliseconds timeout,
                             const std::function<bool()>& cancel, QString* seen)
{
    const auto begin = std::chrono::steady_clock::now();
    const auto deadline = begin + timeout;
    const auto elapsed = [&begin] {
        return QString::number(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(), 'f', 1);
    };
    QStringList states;
    ServiceState last = ServiceState::Unknown;
    const auto finish = [&](bool reached) {
        if (seen) {
            if (!reached)
                states << QStringLiteral("gave up at %1 s").arg(elapsed());
            *seen = states.join(QStringLiteral(", "));
        }
        return reached;
    };
    for (;;) {
        const ServiceState now = query(name);
        if (states.isEmpty() || now != last)
            states << QStringLiteral("%1 from %2 s").arg(stateName(now), elapsed());
        last = now;
        if (now == state)
            return finish(true);
        if (now == ServiceState::Unknown)
            return finish(false);
        if (state == ServiceState::Running && now == ServiceState::Stopped)
            return finish(false); // it died while starting
        if (std::chrono::steady_clock::now() >= deadline || (cancel && cancel()))
            return finish(false);
        std::this_thread::sleep_for(kPollInterval);
    }
}

QString ServiceControl::stateName(ServiceState state)
{
    switch (state) {
    case ServiceState::Stopped: return QStringLiteral("STOPPED");
    case ServiceState::StartPending: return QStringLiteral("START_PENDING");
    case ServiceState::Running: return QStringLiteral("RUNNING");
    case ServiceState::StopPending: return QStringLiteral("STOP_PENDING");
    case ServiceState::Unknown: break;
    }
    return QStringLiteral("UNKNOWN");
}

int ServiceControl::stateNumber(ServiceState state)
{
    switch (state) {
    case ServiceState::Stopped: return 1;
    case ServiceState::StartPending: return 2;
    case ServiceState::StopPending: return 3;
    case ServiceState::Running: return 4;
    case ServiceState::Unknown: break;
    }
    return 0;
}

} // namespace platform
