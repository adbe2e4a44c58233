#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <sys/types.h>

namespace platform {

// What a service is doing, as far as its process tells.
enum class ServiceState {
    Unknown,      // no such service in the registry, or it has no command line
    Stopped,      // no process of the service exists
    StartPending, // the process exists but does not answer on a socket yet
    Running,      // the process answers on a TCP port or a local socket
    StopPending,  // a stop was sent and the process has not exited yet
};

// The machine's services. A service is a key below kServicesKey in the
// Registry whose "ImagePath" is a command line and whose "DisplayName" names
// it. Starting runs that command line detached (its own session, output to a
// log file) and records the process in a pid file of the state folder, so
// that any process of ours - the program, or "sc" run from a script - finds
// it again. A process already running that exact command line counts as the
// service's process too, however it was started.
//
// A service counts as running only once a connection to one of its sockets
// is greeted: a server opens its sockets well before it serves them. It
// counts as stopped only when its process is gone: a stop that the process
// ignores leaves it "stop pending", never "stopped".
class ServiceControl {
public:
    static const QString kServicesKey;

    // The key name of the service called name: a key of that name, else the
    // first key whose DisplayName is name (both without regard to case).
    // Empty when there is none.
    static QString resolve(const QString& name);
    // Where pid files and start logs are kept: "services" beside the
    // registry file.
    static QString stateFolder();
    // The log file that takes the output of the service's process.
    static QString logFile(const QString& name);

    static ServiceState query(const QString& name);
    // The service's process, or 0 when it has none.
    static pid_t processId(const QString& name);

    // Launches the command line and returns once the process exists (its
    // state is then start pending or running). False, with the reason in
    // error, when the service is unknown, already has a process, or its
    // program cannot be run.
    static bool start(const QString& name, QString* error = nullptr);
    // Sends SIGTERM to the service's process. A server sent it while still
    // starting can hang for good, so a process in its first second, or one
    // that listens but has not answered yet, gets it once it answers or
    // after startingWait at most. True when the signal was sent or the
    // service has no process.
    static bool requestStop(const QString& name, std::chrono::milliseconds startingWait, QString* error = nullptr);
    // requestStop, giving a starting server up to half the timeout, then
    // waits for the process to exit until the timeout ends. True only when
    // the process is gone. Never escalates to SIGKILL: a
    // database server killed mid-write is the damage this program exists to
    // repair.
    static bool stop(const QString& name, std::chrono::milliseconds timeout, QString* error = nullptr);

    // Polls every 100 ms until the service is in state, the timeout passes or
    // cancel() returns true. Waiting for Running ends early when the process
    // is gone. Returns whether the state was reached; seen, when given, gets
    // the states polled and when each began ("START_PENDING from 0.0 s,
    // RUNNING from 2.4 s").
    static bool waitFor(const QString& name, ServiceState state, std::chrono::milliseconds timeout,
                        const std::function<bool()>& cancel = {}, QString* seen = nullptr);

    // The state as "sc" prints it: "STOPPED", "START_PENDING", ...
    static QString stateName(ServiceState state);
    // The Windows-style state number that goes with it (1 to 4; 0 unknown).
    static int stateNumber(ServiceState state);
};

} // namespace platform
