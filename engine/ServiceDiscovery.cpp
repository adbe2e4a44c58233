#include "engine/ServiceDiscovery.h"

#include "engine/AppState.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

namespace engine {

bool FindMySqlServices(AppState& app)
{
    using platform::Registry;
    app.m_strServiceImagePath.clear();
    app.m_service.m_imagePath.clear();
    app.m_service.m_displayName.clear();
    app.m_services.clear();

    const QString servicesKey = platform::ServiceControl::kServicesKey;
    for (const QString& name : Registry::subKeys(servicesKey)) {
        if (!name.contains(QLatin1String("MySQL"), Qt::CaseSensitive))
            continue;
        const QString key = servicesKey + QLatin1Char('\\') + name;
        // The other four fields stay empty until the service's my.ini is read.
        MYSQL_SERVICE service;
        service.m_imagePath = Registry::value(key, QStringLiteral("ImagePath"));
        service.m_displayName = Registry::value(key, QStringLiteral("DisplayName"));
        app.m_services.push_back(service);
    }
    app.m_bServiceFound = !app.m_services.empty();
    return app.m_bServiceFound;
}

} // namespace engine
