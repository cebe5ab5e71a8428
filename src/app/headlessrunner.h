#pragma once

#include <QDate>
#include <QString>

namespace carvela {

// What --once returns.
constexpr int exitClean = 0;          // every cycle copied everything it read
constexpr int exitStationFailure = 1; // a cycle ended at a failure of the station (or start-up failed)
constexpr int exitIncomplete = 2;     // the station ran, but rows failed or the cloud was not reached

// The station without a window: the same core and timers; the caption, the log and each cycle's
// summary on stdout.
int runHeadless(const QString& settingsPath);

// Runs cycles now, as if the switch were on, from the given movement date until a cycle on
// today's date has run, printing the log and each cycle's summary. It stops early at a station
// failure, and when a cycle leaves the date where it was (a sale or entry failed on that day).
// Returns exitClean, exitIncomplete or exitStationFailure.
int runOnce(const QString& settingsPath, QDate from);

} // namespace carvela
