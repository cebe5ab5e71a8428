#pragma once

#include <atomic>
#include <map>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <thread>

namespace carvela {
class Integration;
}

namespace carvela::bench {

// What one section (or the whole cycle) cost.
struct Cost {
    double seconds = 0;
    qint64 statements = 0;
    double peakMib = 0;
    double maxGapMs = 0;
};

// The longest wait of an event posted to the main thread: a helper thread posts one every
// millisecond or so, and the main thread sees it at its next pump of the event loop.
class PumpGapMeter : public QObject {
public:
    PumpGapMeter();
    ~PumpGapMeter() override;
    void reset();
    double maxGapMs() const { return m_maxGapNs.load() / 1e6; }

private:
    QElapsedTimer m_clock;
    std::atomic<qint64> m_maxGapNs{0};
    std::atomic<qint64> m_resetAt{0};
    std::atomic<bool> m_inFlight{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Wraps the sections of an Integration so that each is measured: seconds, statements sent on the
// four connections, peak resident memory and the longest pump gap while it ran.
class SectionProbe {
public:
    explicit SectionProbe(Integration& integration);
    // Measures one whole cycle; the sections' costs are kept by name.
    Cost runCycle();
    const std::map<QString, Cost>& sections() const { return m_sections; }

private:
    void begin();
    void end(const QString& name);
    qint64 statements() const;

    Integration& m_integration;
    PumpGapMeter m_gaps;
    std::map<QString, Cost> m_sections;
    QElapsedTimer m_sectionClock;
    qint64 m_sectionStatements = 0;
};

// The resident memory high-water mark in MiB since the last reset.
double peakMib();
void resetPeak();

} // namespace carvela::bench
