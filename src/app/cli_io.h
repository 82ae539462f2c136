#pragma once
// Input, output and job watching for the command line: whole-input reading, block writes
// with error checks, the terminal progress bar and Ctrl+C as the stop button.
#include "base/job_progress.h"
#include "text/func_token.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cli_io
{

// "lanzo: " + message + newline on standard error.
void PrintError(std::string_view message);

// Reads FILE whole as raw bytes; "" or "-" is standard input. On failure prints
// "lanzo: FILE: reason" and returns false.
bool ReadInput(const std::string &file, std::string &data);

// The raw bytes of an input without a copy where possible: a regular file (or standard input
// redirected from one) is mapped read-only, anything else is read into a buffer.
class InputBytes
{
public:
    InputBytes() = default;
    ~InputBytes();
    InputBytes(const InputBytes &) = delete;
    InputBytes &operator=(const InputBytes &) = delete;

    std::string_view view() const { return m_view; }
    // Gives up the bytes (unmaps them), e.g. once a copy has been taken.
    void release();

private:
    friend bool ReadInput(const std::string &file, InputBytes &input);
    void *m_map = nullptr;
    std::size_t m_mapSize = 0;
    std::string m_buffer;
    std::string_view m_view;
};

// As ReadInput above, into input.
bool ReadInput(const std::string &file, InputBytes &input);

// Collects output and writes it to standard output in large blocks; large pieces are written
// straight from where they are. On a machine with a second processor a full block is written
// by a writer thread while the next one fills (at most two blocks wait), so making the output
// and the system's copying of it overlap. The first write error is reported once (as
// WriteOutput does) and everything after it is dropped. What is appended but not flushed when
// the sink goes is dropped; blocks already handed over are written first.
class OutputSink
{
public:
    explicit OutputSink(std::size_t blockSize = 1u << 20);
    ~OutputSink();
    OutputSink(const OutputSink &) = delete;
    OutputSink &operator=(const OutputSink &) = delete;

    void append(std::string_view bytes);
    void append(char c)
    {
        if (m_buffer.size() >= m_blockSize) handOff();
        m_buffer.push_back(c);
    }
    // Writes what is buffered and waits for every write; false once a write has failed.
    bool flush();
    bool ok() const { return m_ok.load(std::memory_order_relaxed); }

private:
    struct Writer;
    void handOff(); // the buffer goes to be written; a fresh one takes its place
    void drain(); // waits until every handed-over block is written

    std::string m_buffer;
    std::size_t m_blockSize;
    std::atomic<bool> m_ok { true };
    std::unique_ptr<Writer> m_writer;
};

// Output held until a job has finished (a stopped job writes nothing), kept in blocks of a few
// MB so that growing it never copies or re-faults what is already there.
class HeldOutput
{
public:
    void appendItem(std::string_view item, bool crlf);
    // Writes every block to standard output; false (after the message) on a write error.
    bool write() const;

private:
    std::vector<std::string> m_blocks;
};

// Writes all bytes to standard output in large blocks. On a write error (a closed pipe, a
// full disk) prints the reason and returns false.
bool WriteOutput(std::string_view bytes);

// Every item followed by LF, or CR LF when crlf is set.
std::string JoinItems(const func_token::StringList &items, bool crlf);

// While alive, the first Ctrl+C only raises a flag (the second one ends the program as usual).
class InterruptGuard
{
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;
    static bool interrupted();
};

// Runs work on a worker thread. The calling thread watches it: Ctrl+C requests a stop, and a
// progress bar is drawn on standard error when that is a terminal and the job takes longer
// than about a second. Returns false when Ctrl+C was pressed (the job was asked to stop).
// An exception thrown by work is rethrown here after the worker has ended.
bool RunJob(job_progress::JobProgress &progress, const std::function<void()> &work);

} // namespace cli_io
