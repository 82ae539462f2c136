#include "app/cli_io.h"
#include "app/cli_messages.h"
#include "base/file_io.h"
#include "encoding/message_quote.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cli_io
{
namespace
{

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

bool WriteAllTo(int fd, const char *data, std::size_t size, int &error)
{
    // Large blocks, but bounded so a huge buffer is never handed to one write() call.
    constexpr std::size_t kBlock = 8u << 20;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size < kBlock ? size : kBlock);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void WriteStderr(std::string_view text)
{
    int error = 0;
    WriteAllTo(STDERR_FILENO, text.data(), text.size(), error);
}

bool ReadStdin(std::string &data, int &error)
{
    data.clear();
    struct stat st {
    };
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        data.reserve(static_cast<std::size_t>(st.st_size) + 1);
    constexpr std::size_t kChunk = 1u << 20;
    std::size_t used = 0;
    for (;;) {
        if (data.size() < used + kChunk) data.resize(std::max(used + kChunk, data.capacity()));
        const ssize_t n = ::read(STDIN_FILENO, data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            data.clear();
            return false;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    data.resize(used);
    return true;
}

// A mapped file that shrinks while it is read raises SIGBUS on the missing pages; the
// program then ends with a message instead of a crash. The message is prepared beforehand:
// a signal handler may only write it.
char g_busMessage[512];
std::size_t g_busMessageLength = 0;

extern "C" void OnBusError(int)
{
    const ssize_t written = ::write(STDERR_FILENO, g_busMessage, g_busMessageLength);
    (void)written;
    ::_exit(1);
}

void PrepareBusMessage(const std::string &name)
{
    std::string message = "lanzo: " + name + ": the file changed while it was being read\n";
    if (message.size() > sizeof g_busMessage) message = "lanzo: the input file changed while it was being read\n";
    std::memcpy(g_busMessage, message.data(), message.size());
    g_busMessageLength = message.size();
    struct sigaction action {
    };
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
}

// Files smaller than this are read: a mapping only pays off for large ones.
constexpr off_t kMapThreshold = 1 << 20;

// Maps the regular file open on fd when it is large enough; false leaves the caller to read.
bool MapFile(int fd, const std::string &name, void *&map, std::size_t &size)
{
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < kMapThreshold) return false;
    // Standard input may have been read from already; the mapping only serves the whole file.
    if (::lseek(fd, 0, SEEK_CUR) != 0) return false;
    const auto length = static_cast<std::size_t>(st.st_size);
    void *p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (p == MAP_FAILED) return false;
    PrepareBusMessage(name);
    map = p;
    size = length;
    return true;
}

// The bar: "caption [#####.....]  42%" redrawn in place on one line of the terminal.
class ProgressBar
{
public:
    explicit ProgressBar(const job_progress::JobProgress &progress)
        : m_progress(progress)
    {
    }

    void draw()
    {
        const std::int64_t maximum = m_progress.maximum();
        std::int64_t position = m_progress.position();
        if (position < 0) position = 0;
        if (maximum > 0 && position > maximum) position = maximum;
        const int percent = maximum > 0 ? static_cast<int>(position * 100 / maximum) : 0;

        int width = 30;
        winsize ws {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_col < 60)
            width = ws.ws_col > 30 ? ws.ws_col - 30 : 0;
        const int filled = width * percent / 100;

        const std::string caption = m_progress.caption();
        std::string line = "\r";
        line += caption;
        if (width > 0) {
            line += caption.empty() ? "[" : " [";
            line.append(static_cast<std::size_t>(filled), '#');
            line.append(static_cast<std::size_t>(width - filled), '.');
            line += ']';
        }
        char tail[16];
        std::snprintf(tail, sizeof tail, " %3d%%", percent);
        line += tail;
        line += "\x1b[K";
        if (line != m_lastLine) {
            WriteStderr(line);
            m_lastLine = std::move(line);
        }
    }

    void finish()
    {
        if (!m_lastLine.empty()) WriteStderr("\r\x1b[K");
    }

private:
    const job_progress::JobProgress &m_progress;
    std::string m_lastLine;
};

} // namespace

void PrintError(std::string_view message)
{
    std::string line = "lanzo: ";
    line += message;
    line += '\n';
    WriteStderr(line);
}

bool ReadInput(const std::string &file, std::string &data)
{
    if (file.empty() || file == "-") {
        int error = 0;
        if (ReadStdin(data, error)) return true;
        PrintError(std::string("standard input: ") + std::strerror(error));
        return false;
    }
    error::Result<std::string> read = file_io::ReadWholeFile(file);
    if (!read) {
        PrintError(cli_messages::Text(read.error()));
        return false;
    }
    data = std::move(*read);
    return true;
}

InputBytes::~InputBytes()
{
    release();
}

void InputBytes::release()
{
    if (m_map) ::munmap(m_map, m_mapSize);
    m_map = nullptr;
    m_mapSize = 0;
    m_buffer = std::string();
    m_view = {};
}

bool ReadInput(const std::string &file, InputBytes &input)
{
    input.release();
    const bool standardInput = file.empty() || file == "-";
    if (standardInput) {
        if (MapFile(STDIN_FILENO, "standard input", input.m_map, input.m_mapSize)) {
            input.m_view = std::string_view(static_cast<const char *>(input.m_map), input.m_mapSize);
            return true;
        }
    } else {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            const bool mapped = MapFile(fd, file, input.m_map, input.m_mapSize);
            ::close(fd);
            if (mapped) {
                input.m_view = std::string_view(static_cast<const char *>(input.m_map), input.m_mapSize);
                return true;
            }
        }
        // Small files, and every failure with its own message, take the reading path.
    }
    if (!ReadInput(file, input.m_buffer)) return false;
    input.m_view = input.m_buffer;
    return true;
}

struct OutputSink::Writer {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> queue; // oldest first
    std::vector<std::string> spare;
    bool busy = false, quit = false;
    std::thread thread;

    void run(std::atomic<bool> &ok)
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return quit || !queue.empty(); });
            if (queue.empty()) return;
            std::string block = std::move(queue.front());
            queue.erase(queue.begin());
            busy = true;
            changed.notify_all(); // room in the queue
            lock.unlock();
            if (ok.load(std::memory_order_relaxed) && !WriteOutput(block)) ok.store(false, std::memory_order_relaxed);
            block.clear();
            lock.lock();
            spare.push_back(std::move(block));
            busy = false;
            changed.notify_all();
        }
    }
};

OutputSink::OutputSink(std::size_t blockSize)
    : m_blockSize(blockSize)
{
    m_buffer.reserve(blockSize);
}

OutputSink::~OutputSink()
{
    if (!m_writer) return;
    drain();
    {
        std::lock_guard lock(m_writer->mutex);
        m_writer->quit = true;
    }
    m_writer->changed.notify_all();
    m_writer->thread.join();
}

void OutputSink::handOff()
{
    if (m_buffer.empty()) return;
    if (!ok()) {
        m_buffer.clear();
        return;
    }
    if (!m_writer && std::thread::hardware_concurrency() > 1) {
        m_writer = std::make_unique<Writer>();
        m_writer->thread = std::thread([this] { m_writer->run(m_ok); });
    }
    if (!m_writer) {
        if (!WriteOutput(m_buffer)) m_ok = false;
        m_buffer.clear();
        return;
    }
    std::unique_lock lock(m_writer->mutex);
    // Memory stays bounded: at most two full blocks wait besides the one being written.
    m_writer->changed.wait(lock, [&] { return m_writer->queue.size() < 2; });
    m_writer->queue.push_back(std::move(m_buffer));
    if (!m_writer->spare.empty()) {
        m_buffer = std::move(m_writer->spare.back());
        m_writer->spare.pop_back();
    } else {
        m_buffer = std::string();
    }
    lock.unlock();
    m_writer->changed.notify_all();
    m_buffer.clear();
    m_buffer.reserve(m_blockSize);
}

void OutputSink::drain()
{
    if (!m_writer) return;
    std::unique_lock lock(m_writer->mutex);
    m_writer->changed.wait(lock, [&] { return m_writer->queue.empty() && !m_writer->busy; });
}

void OutputSink::append(std::string_view bytes)
{
    if (!ok()) return;
    if (m_buffer.size() + bytes.size() > m_blockSize) {
        handOff();
        if (bytes.size() >= m_blockSize) {
            // Written where it lies, after everything before it.
            drain();
            if (ok() && !WriteOutput(bytes)) m_ok = false;
            return;
        }
    }
    m_buffer.append(bytes);
}

bool OutputSink::flush()
{
    handOff();
    drain();
    return ok();
}

void HeldOutput::appendItem(std::string_view item, bool crlf)
{
    constexpr std::size_t kBlock = 4u << 20;
    const std::size_t need = item.size() + 2;
    if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < need) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(kBlock, need));
    }
    std::string &block = m_blocks.back();
    block.append(item);
    if (crlf) block.push_back('\r');
    block.push_back('\n');
}

bool HeldOutput::write() const
{
    for (const std::string &block : m_blocks)
        if (!WriteOutput(block)) return false;
    return true;
}

bool WriteOutput(std::string_view bytes)
{
    int error = 0;
    if (WriteAllTo(STDOUT_FILENO, bytes.data(), bytes.size(), error)) return true;
    PrintError(std::string("standard output: ") + std::strerror(error));
    return false;
}

std::string JoinItems(const func_token::StringList &items, bool crlf)
{
    std::size_t total = 0;
    for (const auto &item : items)
        total += item.size() + (crlf ? 2 : 1);
    std::string out;
    out.reserve(total);
    for (const auto &item : items) {
        out += item;
        if (crlf) out += '\r';
        out += '\n';
    }
    return out;
}

namespace
{
struct sigaction g_previousAction;
}

InterruptGuard::InterruptGuard()
{
    g_interrupted = 0;
    struct sigaction action {
    };
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // After the first Ctrl+C the default returns, so a second one ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &g_previousAction);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &g_previousAction, nullptr);
}

bool InterruptGuard::interrupted()
{
    return g_interrupted != 0;
}

bool RunJob(job_progress::JobProgress &progress, const std::function<void()> &work)
{
    InterruptGuard guard;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;

    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
    });

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    ProgressBar bar(progress);
    const auto start = std::chrono::steady_clock::now();
    bool stopSent = false;
    std::unique_lock lock(mutex);
    while (!done) {
        finished.wait_for(lock, std::chrono::milliseconds(100));
        if (done) break;
        if (!stopSent && InterruptGuard::interrupted()) {
            progress.requestStop();
            stopSent = true;
        }
        if (terminal && std::chrono::steady_clock::now() - start >= std::chrono::seconds(1)) {
            lock.unlock();
            bar.draw();
            lock.lock();
        }
    }
    lock.unlock();
    worker.join();
    bar.finish();
    if (failure) std::rethrow_exception(failure);
    return !InterruptGuard::interrupted();
}

} // namespace cli_io
