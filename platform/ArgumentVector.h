#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <vector>

namespace platform {

// A program's arguments in the form exec and posix_spawn take: encoded for
// the file system, ending with a null pointer, alive as long as this object.
class ArgumentVector {
public:
    explicit ArgumentVector(const QStringList& args)
    {
        for (const QString& arg : args)
            m_storage.push_back(QFile::encodeName(arg));
        for (QByteArray& arg : m_storage)
            m_pointers.push_back(arg.data());
        m_pointers.push_back(nullptr);
    }
    ArgumentVector(const ArgumentVector&) = delete;
    ArgumentVector& operator=(const ArgumentVector&) = delete;

    char* const* data() { return m_pointers.data(); }
    char* first() { return m_pointers.front(); }

private:
    std::vector<QByteArray> m_storage;
    std::vector<char*> m_pointers;
};

} // namespace platform
