#include "bench/probe.h"

#include "db/connection.h"
#include "integration/integration.h"

#include <chrono>
#include <malloc.h>
#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>

namespace carvela::bench {

double peakMib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void resetPeak()
{
    // What was freed goes back first, so that the mark starts from what is in use.
    malloc_trim(0);
    // Linux: "5" resets the high-water mark to the present resident size.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

PumpGapMeter::PumpGapMeter()
{
    m_clock.start();
    m_thread = std::thread([this] {
        while (!m_stop.load()) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            if (m_inFlight.exchange(true))
                continue;
            const qint64 posted = m_clock.nsecsElapsed();
            QMetaObject::invokeMethod(
                this,
                [this, posted] {
                    const qint64 gap = m_clock.nsecsElapsed() - posted;
                    if (posted >= m_resetAt.load() && gap > m_maxGapNs.load())
                        m_maxGapNs.store(gap);
                    m_inFlight.store(false);
                },
                Qt::QueuedConnection);
        }
    });
}

PumpGapMeter::~PumpGapMeter()
{
    m_stop.store(true);
    m_thread.join();
    QCoreApplication::processEvents();
}

void PumpGapMeter::reset()
{
    QCoreApplication::processEvents();
    m_resetAt.store(m_clock.nsecsElapsed());
    m_maxGapNs.store(0);
}

namespace {

const char* const kSectionNames[] = {"customers", "suppliers", "products", "sales", "entries"};

} // namespace

SectionProbe::SectionProbe(Integration& integration)
    : m_integration(integration)
{
    std::vector<Integration::Section> sections = integration.sections();
    for (size_t k = 0; k < sections.size() && k < std::size(kSectionNames); ++k) {
        const QString name = QString::fromLatin1(kSectionNames[k]);
        sections[k].run = [this, name, run = sections[k].run](Integration& i) {
            begin();
            run(i);
            end(name);
        };
    }
    integration.setSections(std::move(sections));
    integration.setBankMovementImport([this, import = integration.bankMovementImport()](Integration& i) {
        begin();
        import(i);
        end(QStringLiteral("bank"));
    });
}

qint64 SectionProbe::statements() const
{
    return m_integration.conexao().statementsSent() + m_integration.Con_Quorim().statementsSent() +
           m_integration.ConServer().statementsSent() + m_integration.ConMov().statementsSent();
}

void SectionProbe::begin()
{
    m_gaps.reset();
    resetPeak();
    m_sectionStatements = statements();
    m_sectionClock.start();
}

void SectionProbe::end(const QString& name)
{
    Cost& cost = m_sections[name];
    cost.seconds += m_sectionClock.nsecsElapsed() / 1e9;
    cost.statements += statements() - m_sectionStatements;
    cost.peakMib = std::max(cost.peakMib, peakMib());
    QCoreApplication::processEvents();
    cost.maxGapMs = std::max(cost.maxGapMs, m_gaps.maxGapMs());
}

Cost SectionProbe::runCycle()
{
    m_sections.clear();
    const qint64 before = statements();
    m_gaps.reset();
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    m_integration.RunCycle();
    Cost all;
    all.seconds = clock.nsecsElapsed() / 1e9;
    m_integration.Timer3().stop();
    all.statements = statements() - before;
    for (const auto& [name, cost] : m_sections) {
        all.peakMib = std::max(all.peakMib, cost.peakMib);
        all.maxGapMs = std::max(all.maxGapMs, cost.maxGapMs);
    }
    all.peakMib = std::max(all.peakMib, peakMib());
    return all;
}

} // namespace carvela::bench
