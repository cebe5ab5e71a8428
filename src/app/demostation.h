#pragma once

#include <QString>
#include <QStringList>

namespace carvela {

// Creates (or resets) a demo station in a folder: Parametros.ini, erp.udl (Provider=SQLite) and
// the three databases as SQLite files (pos.sqlite, erp.sqlite, cloud.sqlite) with a realistic
// station's rows. Throws Failure naming what could not be written.
void createDemoStation(const QString& directory);

// The statements of one of the demo's data scripts ("pos-demo.sql", "erp-demo.sql",
// "cloud-demo.sql"), its dates those of the last days, so that a station on another engine can be
// given the same rows.
QStringList demoStatements(const QString& script);

} // namespace carvela
