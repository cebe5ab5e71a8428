#pragma once

#include <chrono>
#include <optional>

namespace carvela {

// The cloud is reached over the station's internet link, which drops. After a connect that failed,
// the cloud is left alone for a while: 1 minute, doubling after each further failure up to 15, so
// an offline cloud costs one login timeout per pause instead of four per cycle.
class CloudBackoff {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes first{1};
    static constexpr std::chrono::minutes longest{15};

    // Whether the cloud is being left alone at this moment.
    bool holding(Clock::time_point now = Clock::now()) const { return m_retryAt && now < *m_retryAt; }
    void connectFailed(Clock::time_point now = Clock::now())
    {
        m_pause = m_pause.count() == 0 ? first : std::min<std::chrono::minutes>(m_pause * 2, longest);
        m_retryAt = now + m_pause;
    }
    void reached()
    {
        m_pause = std::chrono::minutes{0};
        m_retryAt.reset();
    }
    std::chrono::minutes pause() const { return m_pause; }

private:
    std::chrono::minutes m_pause{0};
    std::optional<Clock::time_point> m_retryAt;
};

} // namespace carvela
