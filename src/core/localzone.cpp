#include "core/localzone.h"

#include <QFileInfo>
#include <QtGlobal>
#include <time.h>

namespace carvela {

void loadLocalZoneOnce()
{
#if defined(Q_OS_UNIX)
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo::exists(QStringLiteral("/etc/localtime")))
        return;
    qputenv("TZ", ":/etc/localtime");
    tzset();
#endif
}

} // namespace carvela
