#include "tests/updater/UpdaterTestBed.h"

#include "platform/Registry.h"

#include <QDir>
#include <QDirIterator>

#include <cstdlib>
#include <random>

namespace testsupport {

namespace {

const char kProductKey[] = "SOFTWARE\\Veltrax\\Grisolt";

} // namespace

UpdaterTestBed::UpdaterTestBed()
    : m_previousRegistry(qgetenv("GRISOLT_REGISTRY")), m_hadRegistry(qEnvironmentVariableIsSet("GRISOLT_REGISTRY"))
{
    ::setenv("GRISOLT_REGISTRY", m_dir.file(QStringLiteral("registry.ini")).toLocal8Bit().constData(), 1);
    m_dir.mkdir(QStringLiteral("www/upgrade"));
    m_dir.mkdir(QStringLiteral("tmp"));
}

UpdaterTestBed::~UpdaterTestBed()
{
    m_server.reset();
    if (m_hadRegistry)
        ::setenv("GRISOLT_REGISTRY", m_previousRegistry.constData(), 1);
    else
        ::unsetenv("GRISOLT_REGISTRY");
}

void UpdaterTestBed::setValue(const QString& name, const QString& value) const
{
    platform::Registry::setValue(QLatin1String(kProductKey), name, value);
}

void UpdaterTestBed::publish(const QString& exe, const QString& extension, const QByteArray& bytes) const
{
    m_dir.write(QStringLiteral("www/upgrade/%1/%1%2").arg(exe, extension), bytes);
}

UpdateServer& UpdaterTestBed::server()
{
    if (!m_server) {
        m_server = std::make_unique<UpdateServer>(m_dir.file(QStringLiteral("www")));
        setValue(QStringLiteral("UPDATE_BASE_URL"), m_server->baseUrl());
        setValue(QStringLiteral("UPDATE_DOWNLOAD_HOST"), m_server->hostAndPort());
    }
    return *m_server;
}

QStringList UpdaterTestBed::leftovers() const
{
    QStringList found;
    QDirIterator it(tempFolder(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

QByteArray randomBytes(int size, unsigned seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = static_cast<char>(generator() & 0xFF);
    return bytes;
}

} // namespace testsupport
