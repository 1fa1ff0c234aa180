#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace tessiloom {

// Memory for bulk data, in the system's large pages where it offers them. Fresh memory costs a page
// fault each time a small page of it is first touched, and in a virtual machine a fault costs more
// than filling the page: in large pages the heights of a large grid are faulted in a fortieth of the
// time.
struct FreeMemory {
    void operator()(void* memory) const { std::free(memory); }
};

template <typename T>
using LargeArray = std::unique_ptr<T[], FreeMemory>;

// `bytes` of uninitialised memory, from a large page up aligned to and rounded up to large pages;
// null when there is none to be had.
void* AllocateLarge(std::size_t bytes);

// Null when there is no memory for `count` elements.
template <typename T>
LargeArray<T> MakeLargeArray(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) return nullptr;
    return LargeArray<T>(static_cast<T*>(AllocateLarge(count * sizeof(T))));
}

}  // namespace tessiloom
