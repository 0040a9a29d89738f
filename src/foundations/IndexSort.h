#pragma once

#include <cstdint>
#include <span>

namespace kova {

// Sorts distinct indices into ascending order. Made for the lists a search of
// neighbours gathers: from a handful to a few hundred indices in no useful
// order. Short lists are sorted without branches, longer ones through a
// bitmap of the indices.
void SortDistinctIndices(std::span<std::uint32_t> indices);

} // namespace kova
