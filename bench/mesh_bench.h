#pragma once

#include <filesystem>

namespace tessiloom::bench {

// Times --mesh, against wc -l over the same file, with its peak memory against the bound of 64 bytes
// a vertex plus 32 MiB: the 2049 x 2049 grid listing read whole (every number and face line), and an
// irregular mesh of a million triangles sampled at 1025 x 1025. Prints a table; false when a listing
// cannot be written.
bool MeasureWholeMeshes(const std::filesystem::path& folder, int runs);

}  // namespace tessiloom::bench
