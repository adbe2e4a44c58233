#pragma once

#include "tests/support/TempDir.h"
#include "tests/updater/UpdateServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace testsupport {

// A registry file of its own, a folder the local update server serves and a
// temporary folder for downloads, all removed at the end.
class UpdaterTestBed {
public:
    UpdaterTestBed();
    ~UpdaterTestBed();

    // A value of the product key.
    void setValue(const QString& name, const QString& value) const;
    // Writes <root>/upgrade/<exe>/<exe><extension>.
    void publish(const QString& exe, const QString& extension, const QByteArray& bytes) const;
    // Starts the server on first use and points UPDATE_BASE_URL and
    // UPDATE_DOWNLOAD_HOST at it.
    UpdateServer& server();

    QString tempFolder() const { return m_dir.file(QStringLiteral("tmp")); }
    // What a download left in the temporary folder, recursively.
    QStringList leftovers() const;

    TempDir m_dir;

private:
    std::unique_ptr<UpdateServer> m_server;
    QByteArray m_previousRegistry;
    bool m_hadRegistry = false;
};

// Bytes that no pattern or short cycle can fake.
QByteArray randomBytes(int size, unsigned seed);

} // namespace testsupport
