#pragma once

#include <QIcon>

namespace carvela {

// What the tray icon tells the operator at a glance.
enum class StationStatus {
    Off,    // the switch is off: nothing is copied
    On,     // the switch is on and the last cycle ran clean (or none ran yet)
    Failed, // the switch is on and the last cycle logged an error
};

// The program's own 32 × 32 icon (two arrows going round, for data moving between databases),
// coloured by status: grey, green or red. Drawn, so the program needs no image files.
QIcon stationIcon(StationStatus status);

} // namespace carvela
