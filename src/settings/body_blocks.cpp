#include "settings/body_blocks.h"

#include <algorithm>
#include <sys/mman.h>

namespace body_blocks
{
namespace
{

// Blocks are mapped directly rather than taken from the heap: a freed heap block may stay with
// the process, and joining would then hold the body twice.
constexpr std::size_t kBlockBytes = 1u << 20;

char *mapBlock()
{
    void *p = ::mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<char *>(p);
}

} // namespace

bool BodyBlocks::append(const char *data, std::size_t size)
{
    while (size > 0) {
        if (m_blocks.empty() || m_blocks.back().used == kBlockBytes) {
            char *block = mapBlock();
            if (!block) return false;
            try {
                m_blocks.push_back({ block, 0 });
            } catch (...) {
                ::munmap(block, kBlockBytes);
                return false;
            }
        }
        Block &last = m_blocks.back();
        const std::size_t n = std::min(size, kBlockBytes - last.used);
        std::copy_n(data, n, last.data + last.used);
        last.used += n;
        m_size += n;
        data += n;
        size -= n;
    }
    return true;
}

std::string BodyBlocks::take()
{
    std::string out;
    // Reserving only maps the pages; each one counts once a block has been copied into it.
    out.reserve(m_size);
    for (Block &block : m_blocks) {
        out.append(block.data, block.used);
        ::munmap(block.data, kBlockBytes);
        block.data = nullptr;
    }
    m_blocks.clear();
    m_size = 0;
    return out;
}

void BodyBlocks::clear()
{
    for (const Block &block : m_blocks)
        if (block.data) ::munmap(block.data, kBlockBytes);
    m_blocks.clear();
    m_size = 0;
}

} // namespace body_blocks
