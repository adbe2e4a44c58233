#pragma once

#include "platform/Registry.h"
#include "tests/support/TempDir.h"

#include <QByteArray>

namespace widgettest {

// A registry file of the test's own, named by $GRISOLT_REGISTRY while the
// object lives; the program folder ("Path") is a scratch folder.
class RegistryFile {
public:
    RegistryFile() : m_old(qgetenv("GRISOLT_REGISTRY"))
    {
        qputenv("GRISOLT_REGISTRY", m_dir.file(QStringLiteral("registry.ini")).toUtf8());
    }
    ~RegistryFile() { qputenv("GRISOLT_REGISTRY", m_old); }
    RegistryFile(const RegistryFile&) = delete;
    RegistryFile& operator=(const RegistryFile&) = delete;

    void setProductValue(const QString& name, const QString& value)
    {
        platform::Registry::setValue(QStringLiteral("SOFTWARE\\Veltrax\\Grisolt"), name, value);
    }
    // Sets "Path" to a program folder and returns it.
    QString makeProgramFolder()
    {
        const QString folder = m_dir.mkdir(QStringLiteral("program"));
        setProductValue(QStringLiteral("Path"), folder);
        return folder;
    }

    testsupport::TempDir m_dir;

private:
    QByteArray m_old;
};

} // namespace widgettest
