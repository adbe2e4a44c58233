#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The machine's configuration store: one INI file whose sections are key
// paths such as "SOFTWARE\Veltrax\Grisolt" or
// "SYSTEM\CurrentControlSet\Services\MySQL", each holding named string values.
// The file is named by $GRISOLT_REGISTRY (default /etc/grisolt/registry.ini).
// Key paths and value names match without regard to case, as on the system
// whose layout this mirrors. A missing file, key or value reads as empty.
class Registry {
public:
    static QString filePath();

    static QString value(const QString& keyPath, const QString& name);
    static bool keyExists(const QString& keyPath);
    // Names of the keys directly below keyPath, sorted.
    static QStringList subKeys(const QString& keyPath);
    // Writes one value; false when the file cannot be written.
    static bool setValue(const QString& keyPath, const QString& name, const QString& value);
};

} // namespace platform
