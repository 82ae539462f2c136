#pragma once
// What a long job shares with whoever watches it: a one-way stop flag, the progress bar's
// maximum and position, and the caption of the current stage. The job stores, the watcher
// reads (a dialog on a timer, a terminal progress bar); nobody waits for anybody.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace job_progress
{

class JobProgress
{
public:
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }

    void setMaximum(std::int64_t max) { m_maximum.store(max, std::memory_order_relaxed); }
    void setPosition(std::int64_t pos) { m_position.store(pos, std::memory_order_relaxed); }
    std::int64_t maximum() const { return m_maximum.load(std::memory_order_relaxed); }
    std::int64_t position() const { return m_position.load(std::memory_order_relaxed); }

    // Caption in UTF-8 ("自動変換中", "抽出中", "変換中").
    void setCaption(std::string caption)
    {
        std::lock_guard lock(m_captionMutex);
        m_caption = std::move(caption);
        m_captionSerial.fetch_add(1, std::memory_order_release);
    }
    std::string caption() const
    {
        std::lock_guard lock(m_captionMutex);
        return m_caption;
    }
    // Changes whenever the caption is set, so a watcher can tell a new stage began.
    unsigned captionSerial() const { return m_captionSerial.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_stop { false };
    std::atomic<std::int64_t> m_maximum { 0 };
    std::atomic<std::int64_t> m_position { 0 };
    mutable std::mutex m_captionMutex;
    std::string m_caption;
    std::atomic<unsigned> m_captionSerial { 0 };
};

// A scan publishes its progress through these three; each does nothing without a watcher.
// The scan of maximum units begins: the bar empty.
inline void BeginScan(JobProgress *progress, std::int64_t maximum)
{
    if (!progress) return;
    progress->setPosition(0);
    progress->setMaximum(maximum);
}

// The scan stands at position. Returns false when it is to stop; the bar of a stopped job is
// empty again.
inline bool ContinueScan(JobProgress *progress, std::int64_t position)
{
    if (!progress) return true;
    progress->setPosition(position);
    if (!progress->stopRequested()) return true;
    progress->setPosition(0);
    return false;
}

// The scan is through: the bar full. A stop asked for while a non-empty scan ran still counts,
// so the caller drops what it found.
inline bool FinishScan(JobProgress *progress, std::int64_t maximum)
{
    if (!progress) return true;
    progress->setPosition(maximum);
    if (maximum == 0 || !progress->stopRequested()) return true;
    progress->setPosition(0);
    return false;
}

// Byte scans publish their position and read the stop flag once per this many bytes
// (and at the very end), so a stop takes effect within microseconds at no measurable cost.
constexpr std::int64_t kScanChunk = 1 << 16;

} // namespace job_progress
