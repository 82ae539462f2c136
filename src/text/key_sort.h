#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace key_sort
{

// The order that sorts keys as byte strings (unsigned bytes, a shorter key before a longer one
// it begins), read from their first byte or, with fromEnd, from their last byte backwards.
// Stable: equal keys keep their order.
std::vector<std::size_t> SortedKeyOrder(const std::vector<std::string_view> &keys, bool fromEnd);

} // namespace key_sort
