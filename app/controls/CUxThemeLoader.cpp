#include "app/controls/CUxThemeLoader.h"

#include "platform/Registry.h"

namespace app {

void CUxThemeLoader::Init()
{
    m_bThemeWanted = IsNonStandardScheme();
    m_bLoaded = false;
    m_bThemed = false;
}

bool CUxThemeLoader::IsNonStandardScheme()
{
    return platform::Registry::value(QStringLiteral("Control Panel\\Appearance"), QStringLiteral("Current"))
        != QLatin1String("Windows Standard");
}

} // namespace app
