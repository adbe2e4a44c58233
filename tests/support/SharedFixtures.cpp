#include "tests/support/SharedFixtures.h"

#include <QDir>

namespace testsupport {

QString SharedFixtures::foreignFolder()
{
    const QDir dir(QStringLiteral(GRISOLT_SOURCE_DIR "/../shared/fixtures/foreign"));
    if (!dir.exists())
        return {};
    return dir.absolutePath();
}

bool SharedFixtures::underCi()
{
    const QString ci = qEnvironmentVariable("CI").toLower();
    return ci == QLatin1String("true") || ci == QLatin1String("1");
}

} // namespace testsupport
