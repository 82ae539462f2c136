#pragma once
// A download body kept in blocks of its own, so that it never sits in a buffer that doubles:
// while it arrives it holds at most one block beyond its bytes, and joining it hands each block
// back to the system as soon as it is copied, so the joined body and the blocks together stay
// within the body's size plus one block.
#include <cstddef>
#include <string>
#include <vector>

namespace body_blocks
{

class BodyBlocks
{
public:
    BodyBlocks() = default;
    ~BodyBlocks() { clear(); }
    BodyBlocks(const BodyBlocks &) = delete;
    BodyBlocks &operator=(const BodyBlocks &) = delete;

    // False when no memory was left for a new block (nothing is appended then).
    bool append(const char *data, std::size_t size);
    std::size_t size() const { return m_size; }
    // The whole body in one string; the blocks are gone afterwards. Throws std::bad_alloc.
    std::string take();
    void clear();

private:
    struct Block {
        char *data;
        std::size_t used;
    };
    std::vector<Block> m_blocks;
    std::size_t m_size = 0;
};

} // namespace body_blocks
