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

} // namespace testsupport
