#pragma once

#include <QDate>
#include <QString>

namespace carvela {

// The station without a window: the same core and timers, the caption and the log on stdout.
int runHeadless(const QString& settingsPath);

// Runs cycles now, as if the switch were on, from the given movement date until a cycle on
// today's date has completed. Returns 0, or 1 at the first cycle that logs an error.
int runOnce(const QString& settingsPath, QDate from);

} // namespace carvela
