#include "text/piece_ring.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace piece_ring
{

namespace
{

enum : int { kFree, kLoaded, kConverting, kConverted };

struct Slot {
    std::string loadScratch, converted;
    std::string_view piece;
    bool accepted = false;
    std::atomic<int> state { kFree };
};

// Enough pieces in flight that neither thread runs dry while the other is held up.
constexpr std::size_t kSlots = 8;

class Ring
{
public:
    explicit Ring(const Stages &stages)
        : m_stages(stages)
    {
    }

    Outcome run(bool twoThreads)
    {
        std::thread helper;
        if (twoThreads) helper = std::thread([this] { helpLoop(); });
        const Outcome outcome = mainLoop();
        if (helper.joinable()) {
            // The helper may be converting a piece still: the slots must outlive it.
            m_stop.store(true);
            signal();
            helper.join();
        }
        return outcome;
    }

private:
    void signal()
    {
        {
            std::lock_guard lock(m_mutex);
        }
        m_changed.notify_all();
    }

    // Converts the first loaded piece from sequence number first on; false when there is none.
    bool convertOne(std::size_t first)
    {
        for (std::size_t n = first, end = m_loaded.load(std::memory_order_acquire); n < end; ++n) {
            Slot &slot = m_slots[n % kSlots];
            int expected = kLoaded;
            if (!slot.state.compare_exchange_strong(expected, kConverting, std::memory_order_acquire)) continue;
            slot.accepted = m_stages.convert(slot.piece, slot.converted);
            slot.state.store(kConverted, std::memory_order_release);
            signal();
            return true;
        }
        return false;
    }

    bool anyLoaded() const
    {
        for (const Slot &slot : m_slots)
            if (slot.state.load(std::memory_order_acquire) == kLoaded) return true;
        return false;
    }

    void helpLoop()
    {
        for (;;) {
            while (!m_stop.load() && convertOne(m_written.load(std::memory_order_acquire))) { }
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop.load() || anyLoaded(); });
            if (m_stop.load()) return;
        }
    }

    Outcome mainLoop()
    {
        bool exhausted = false;
        for (;;) {
            // Load pieces into the free slots.
            const std::size_t before = m_loaded.load();
            for (std::size_t n = before; !exhausted && n - m_written.load() < kSlots; ++n) {
                Slot &slot = m_slots[n % kSlots];
                const std::optional<std::string_view> piece = m_stages.load(slot.loadScratch);
                if (!piece) {
                    exhausted = true;
                    break;
                }
                slot.piece = *piece;
                slot.state.store(kLoaded, std::memory_order_release);
                m_loaded.store(n + 1, std::memory_order_release);
            }
            if (m_loaded.load() != before) signal();
            const std::size_t next = m_written.load();
            if (next == m_loaded.load()) return Outcome::Finished;
            // Convert until the next piece in order is converted: that one first, unless the
            // helper has it already.
            Slot &slot = m_slots[next % kSlots];
            while (slot.state.load(std::memory_order_acquire) != kConverted) {
                if (convertOne(next)) continue;
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return slot.state.load(std::memory_order_acquire) == kConverted; });
            }
            if (!slot.accepted) return Outcome::Refused;
            const bool goOn = m_stages.store(slot.converted);
            slot.state.store(kFree, std::memory_order_relaxed);
            m_written.store(next + 1, std::memory_order_release);
            if (!goOn) return Outcome::Stopped;
        }
    }

    const Stages &m_stages;
    Slot m_slots[kSlots];
    // Sequence numbers: pieces before written have been written, pieces before loaded loaded.
    std::atomic<std::size_t> m_written { 0 }, m_loaded { 0 };
    std::atomic<bool> m_stop { false };
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

} // namespace

Outcome Run(const Stages &stages, bool twoThreads)
{
    Ring ring(stages);
    return ring.run(twoThreads);
}

} // namespace piece_ring
