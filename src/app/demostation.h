#pragma once

#include <QString>

namespace carvela {

// Creates (or resets) a demo station in a folder: Parametros.ini, erp.udl (Provider=SQLite) and
// the three databases as SQLite files (pos.sqlite, erp.sqlite, cloud.sqlite) with a realistic
// station's rows. Throws Failure naming what could not be written.
void createDemoStation(const QString& directory);

} // namespace carvela
