#include "integration/masterdata.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "db/query.h"
#include "integration/integration.h"
#include "integration/rowunit.h"
#include "integration/sectionrow.h"

namespace carvela {

QString rowIdentity(const QString& code, const QString& name)
{
    return name.isEmpty() ? QStringLiteral("código %1").arg(code) : QStringLiteral("código %1 (%2)").arg(code, name);
}

void copyMasterTable(Integration& integration, const MasterTable& t)
{
    StationState& state = integration.state();
    integration.setSectionLabel(t.label);
    integration.beginSummarySection(t.label);
    state.setCaption(t.openingCaption);
    StationState::letMessagesRun();

    t.source.close();
    t.source.openStreamed();
    state.setProgressMaximum(t.bar, t.source.rowCount());
    state.setProgressPosition(t.bar, 0);
    UnitWriter units(integration);
    KnownKeys known;
    bool keysLoaded = false;
    for (; !t.source.eof(); t.source.next()) {
        const QString name = t.source.asString(t.nameColumn);
        state.setCaption(name);
        state.setProgressPosition(t.bar, t.source.recNo());
        StationState::letMessagesRun();

        const QString code = t.source.asString(t.codeColumn);
        units.write([&] {
            const QString identity = rowIdentity(code, name);
            const int key = wholeNumberOf(code, t.table, identity, t.keyParameter);
            if (!keysLoaded) {
                if (integration.writeOnlyChanged())
                    known.loadWithValues(t.target, t.target.keyColumns().value(0));
                else
                    known.load(t.target, t.target.keyColumns().value(0));
                keysLoaded = true;
            }
            SectionRow row(integration, t.source, t.target);
            return written(keyedUpsert(t.mapping, row, t.keyParameter, key, t.table, identity,
                                       integration.writeOnlyChanged(), &known));
        });
    }
    units.finish();
    state.setCaption(StationState::restingCaption);
    t.source.close();
    t.target.close();
}

} // namespace carvela
