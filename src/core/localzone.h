#pragma once

namespace carvela {

// Every row reads the clock and converts dates to local time. Without TZ set, the C library looks
// at /etc/localtime again on every such conversion (a stat per call); naming the zone file once at
// start spares that. A change of the machine's zone then takes effect at the next start.
// Does nothing when TZ is set or where there is no /etc/localtime.
void loadLocalZoneOnce();

} // namespace carvela
