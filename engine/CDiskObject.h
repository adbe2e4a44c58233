#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// The engine's small file-system utility. Every operation works on an
// absolute copy of the path it is given, never changes the process's current
// folder, and keeps the text of its last failure.
class CDiskObject {
public:
    static const QString kInternalError;

    bool RemoveFile(const QString& file);
    // True when the folder exists and could be entered.
    bool DirectoryExists(const QString& folder);
    // Creates the folder and every missing parent; true when it exists afterwards.
    bool CreateDirectory(const QString& folder);
    // True when the file can be opened for reading; a folder is not a file.
    bool FileExists(const QString& file);
    // Appends every folder below `folder`, depth first, each absolute and
    // ending with '/', sorted by name within a folder. Files are not listed.
    // A folder that cannot be listed is passed over and makes the result false;
    // the rest of the walk goes on.
    bool EnumAllDirectories(const QString& folder, QStringList& list);

    // Makes a folder path absolute with a trailing '/'; false (with the
    // internal error text) for a path we refuse.
    bool QualifyPath(QString& path);
    // Makes a file path absolute; false for a path we refuse.
    bool QualifyFile(QString& path);
    // False when the text holds a wildcard ('*' or '?').
    static bool HasNoWildcards(const QString& text);
    // Turns '\' into '/', returning how many were turned.
    static int NormalizeSeparators(QString& path);

    // The text of the last failure; empty after a success.
    const QString& GetErrorMessage() const { return m_strError; }

private:
    void SetSystemErrorMessage(int error, const QString& path);
    void SetInternalError() { m_strError = kInternalError; }
    bool listFolder(const QString& folder, QStringList& list, QStringList& visited);

    QString m_strError;
};

} // namespace engine
