// sc: the service command of the generated "stop_"/"start_" scripts.
//
//   sc query NAME
//   sc stop NAME [--timeout=SECONDS]    (default 120; 0 sends the stop and returns)
//   sc start NAME
//
// NAME is a service's key name or its DisplayName. The exit status is 0 when
// the command did what it was asked: query found the service, stop saw the
// process gone, start launched the process (it may still be starting).
#include "platform/ServiceControl.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>

using platform::ServiceControl;
using platform::ServiceState;

namespace {

void printState(const QString& name, ServiceState state)
{
    std::printf("\nSERVICE_NAME: %s\n        STATE              : %d  %s\n\n", qPrintable(name),
                ServiceControl::stateNumber(state), qPrintable(ServiceControl::stateName(state)));
}

int fail(const char* what, const QString& reason)
{
    std::fprintf(stderr, "[SC] %s FAILED:\n\n%s\n", what, qPrintable(reason));
    return 1;
}

int usage()
{
    std::fprintf(stderr, "usage: sc query|stop|start NAME [--timeout=SECONDS]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const QString verb = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    long timeoutSeconds = 120;
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool ok = false;
        if (arg.startsWith(QLatin1String("--timeout=")))
            timeoutSeconds = arg.mid(10).toLong(&ok);
        if (!ok || timeoutSeconds < 0)
            return usage();
    }

    const QString key = ServiceControl::resolve(name);
    if (key.isEmpty())
        return fail("OpenService", QStringLiteral("The specified service does not exist as an installed service."));

    QString error;
    if (verb == QLatin1String("query")) {
        printState(key, ServiceControl::query(key));
        return 0;
    }
    if (verb == QLatin1String("stop")) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        if (!ServiceControl::requestStop(key, std::chrono::seconds(timeoutSeconds) / 2, &error))
            return fail("ControlService", error);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const bool stopped = ServiceControl::waitFor(key, ServiceState::Stopped, std::max(left, std::chrono::milliseconds(0)));
        printState(key, ServiceControl::query(key));
        return stopped ? 0 : 1;
    }
    if (verb == QLatin1String("start")) {
        if (!ServiceControl::start(key, &error))
            return fail("StartService", error);
        printState(key, ServiceControl::query(key));
        return 0;
    }
    return usage();
}
