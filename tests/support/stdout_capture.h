#pragma once
// Test helpers for code that writes to standard output: point it at a file, read the file back.
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace test_support
{

// Points standard output at a file for as long as it lives.
class StdoutTo
{
public:
    explicit StdoutTo(const std::string &path)
    {
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
    ~StdoutTo()
    {
        ::dup2(m_saved, STDOUT_FILENO);
        ::close(m_saved);
    }
    StdoutTo(const StdoutTo &) = delete;
    StdoutTo &operator=(const StdoutTo &) = delete;

private:
    int m_saved = -1;
};

inline std::string ReadFile(const std::string &path)
{
    std::string data;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            data.append(buf, n);
        std::fclose(f);
    }
    return data;
}

} // namespace test_support
