#pragma once
// Errors are values: a kind and the few facts a message needs. The core never words them;
// each face (the window, the command line) turns an Error into its own text.
//
// A function that can fail returns Result<T>: the value, or the error. One whose failure still
// leaves a useful partial result (correction stops at the failing item, a line-by-line decode
// keeps the lines before the bad one) takes that result as an out parameter, which holds what
// the buffer holds after the command whether it succeeded or not, and returns Result<void>.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace error
{

enum class Kind : std::uint8_t {
    // A file: path, and code (errno) for the system's reason.
    NotFound, // it does not exist
    System, // the system refused
    TooLarge, // it holds more than limit bytes (code EFBIG)
    // A settings file that was not read and was moved aside: path, limit, and movedTo, or the
    // code of the failed move when movedTo is empty.
    SettingsTooLarge, // more than limit bytes
    SettingsTooManyValues, // more than limit values
    // A malformed %XX escape: position is the 1-based position of its '%'.
    BadEscape, // found holds the three bytes as they were
    TruncatedEscape,
    // The list commands.
    BaseWithoutHost, // position: 0-based index of the item that needs a host; found: the base
    TooManyLines, // count: the lines the expansion would give, beyond limit
    NotUtf8, // the input is not well-formed UTF-8 (or encodes a NUL byte)
    // A download.
    HttpSetup, // the transfer library could not be set up
    HttpBusy, // another request of the same client is running
    MalformedUrl,
    ResponseTooLarge, // more than limit bytes
    IdleTimeout, // no byte for limit seconds
    OutOfMemory,
    ConflictingLength, // two Content-Length headers that differ
    TransferFailed, // found: the transfer library's own words
    HttpStatus, // count: the status code, not a 2xx one
    RedirectNotFollowed,
    // The user stopped a job or a download.
    Stopped,
};

struct Error {
    Kind kind = Kind::System;
    std::string path; // the file concerned, as given
    int code = 0; // errno, when the system gave the reason
    std::uint64_t position = 0;
    std::uint64_t count = 0;
    std::uint64_t limit = 0;
    std::string found; // the offending input as found
    std::string movedTo;

    static Error File(Kind kind, std::string path, int code)
    {
        Error e;
        e.kind = kind;
        e.path = std::move(path);
        e.code = code;
        return e;
    }
    static Error Of(Kind kind)
    {
        Error e;
        e.kind = kind;
        return e;
    }
    // The system's own words for code ("No space left on device").
    std::string reason() const;
};

// Wraps an error for returning it as a Result.
class Unexpected
{
public:
    explicit Unexpected(Error error)
        : m_error(std::move(error))
    {
    }
    Error &error() & { return m_error; }
    Error &&error() && { return std::move(m_error); }

private:
    Error m_error;
};

class BadResultAccess : public std::logic_error
{
public:
    BadResultAccess()
        : std::logic_error("value() of a failed result")
    {
    }
};

// The value, or the error. Shaped like std::expected<T, Error>.
template <typename T> class [[nodiscard]] Result
{
public:
    Result() requires std::is_default_constructible_v<T> : m_state(std::in_place_index<0>) { }
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Unexpected failure)
        : m_state(std::in_place_index<1>, std::move(failure).error())
    {
    }

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T &value() &
    {
        check();
        return *std::get_if<0>(&m_state);
    }
    const T &value() const &
    {
        check();
        return *std::get_if<0>(&m_state);
    }
    T &&value() &&
    {
        check();
        return std::move(*std::get_if<0>(&m_state));
    }
    T &operator*() & { return *std::get_if<0>(&m_state); }
    const T &operator*() const & { return *std::get_if<0>(&m_state); }
    T &&operator*() && { return std::move(*std::get_if<0>(&m_state)); }
    template <typename U> T value_or(U &&other) const & { return has_value() ? **this : T(std::forward<U>(other)); }
    template <typename U> T value_or(U &&other) &&
    {
        return has_value() ? std::move(**this) : T(std::forward<U>(other));
    }
    T *operator->() { return std::get_if<0>(&m_state); }
    const T *operator->() const { return std::get_if<0>(&m_state); }

    const Error &error() const & { return *std::get_if<1>(&m_state); }
    Error &&error() && { return std::move(*std::get_if<1>(&m_state)); }

private:
    void check() const
    {
        if (!has_value()) throw BadResultAccess();
    }
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Unexpected failure)
        : m_error(std::move(failure).error())
    {
    }

    bool has_value() const { return !m_error; }
    explicit operator bool() const { return has_value(); }
    void value() const
    {
        if (m_error) throw BadResultAccess();
    }
    const Error &error() const & { return *m_error; }
    Error &&error() && { return std::move(*m_error); }

private:
    std::optional<Error> m_error;
};

} // namespace error
