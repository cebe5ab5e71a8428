#pragma once

#include <QString>

namespace carvela {

// --check: the "Test Connection" of a station. Opens the four connections one by one and says of
// each where it goes (engine, server, database, user; never a password) and "ok" with the time the
// login took, or why it failed; then loads the branch list, shows the branch the settings name and
// the cloud store it matches. Returns 0 when all is well, 1 otherwise.
int runCheck(const QString& settingsPath);

} // namespace carvela
