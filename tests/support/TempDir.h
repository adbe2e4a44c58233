#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace testsupport {

// A scratch folder removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const QString& path() const { return m_path; }
    // path() + "/" + name
    QString file(const QString& name) const;
    // Writes bytes to name (creating parent folders) and returns its full path.
    QString write(const QString& name, const std::vector<std::uint8_t>& bytes) const;
    QString write(const QString& name, const QByteArray& bytes) const;
    QString mkdir(const QString& name) const;

private:
    QString m_path;
};

// Copies the folder `from` with everything below it to `to`, each copied file
// writable by its owner (fixtures may be read-only), so that tests can damage
// a copy. A file that cannot be copied fails the test.
void copyFolder(const QString& from, const QString& to);

} // namespace testsupport
