#include "platform/Registry.h"

#include <QFileInfo>
#include <QSettings>

namespace platform {

namespace {

constexpr char kDefaultPath[] = "/etc/grisolt/registry.ini";

// QSettings uses '/' between levels; the key paths we are given use '\'.
QString settingsKey(const QString& keyPath)
{
    QString key = keyPath;
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (key.endsWith(QLatin1Char('/')))
        key.chop(1);
    while (key.startsWith(QLatin1Char('/')))
        key.remove(0, 1);
    return key;
}

QStringList allKeys()
{
    const QString path = Registry::filePath();
    if (!QFileInfo(path).isFile())
        return {};
    QSettings settings(path, QSettings::IniFormat);
    return settings.allKeys();
}

} // namespace

QString Registry::filePath()
{
    const QString fromEnv = qEnvironmentVariable("GRISOLT_REGISTRY");
    return fromEnv.isEmpty() ? QString::fromLatin1(kDefaultPath) : fromEnv;
}

QString Registry::value(const QString& keyPath, const QString& name)
{
    const QString wanted = settingsKey(keyPath) + QLatin1Char('/') + name;
    for (const QString& key : allKeys()) {
        if (key.compare(wanted, Qt::CaseInsensitive) == 0) {
            QSettings settings(filePath(), QSettings::IniFormat);
            return settings.value(key).toString();
        }
    }
    return {};
}

bool Registry::keyExists(const QString& keyPath)
{
    const QString prefix = settingsKey(keyPath) + QLatin1Char('/');
    for (const QString& key : allKeys())
        if (key.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    return false;
}

QStringList Registry::subKeys(const QString& keyPath)
{
    const QString prefix = settingsKey(keyPath) + QLatin1Char('/');
    QStringList names;
    for (const QString& key : allKeys()) {
        if (!key.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString rest = key.mid(prefix.size());
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash <= 0)
            continue; // a value of keyPath itself, not a sub-key
        const QString name = rest.left(slash);
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

bool Registry::setValue(const QString& keyPath, const QString& name, const QString& value)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    // Keep the spelling of an existing key so the file does not grow a twin.
    QString key = settingsKey(keyPath) + QLatin1Char('/') + name;
    for (const QString& existing : settings.allKeys())
        if (existing.compare(key, Qt::CaseInsensitive) == 0)
            key = existing;
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace platform
