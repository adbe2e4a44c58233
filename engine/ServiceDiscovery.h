#pragma once

namespace engine {

class AppState;

// Fills app.m_services with one entry per installed database service: every
// key below the service registry whose name holds "MySQL" (this exact case),
// with its "ImagePath" and "DisplayName" (empty when missing) and the four
// fields that its configuration file gives left empty. The current service's
// command line and name and app.m_strServiceImagePath are emptied. Sets and
// returns app.m_bServiceFound.
bool FindMySqlServices(AppState& app);

} // namespace engine
