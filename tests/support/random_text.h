#pragma once
// Random byte strings over a small alphabet, for tests that compare a fast path with a plain one.
#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace random_text
{

// A random length up to maxLength, each byte picked from alphabet.
inline std::string RandomText(std::mt19937 &rng, std::string_view alphabet, std::size_t maxLength)
{
    std::string text(rng() % (maxLength + 1), ' ');
    for (char &c : text)
        c = alphabet[rng() % alphabet.size()];
    return text;
}

} // namespace random_text
