#include "platform/large_memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace tessiloom {
namespace {

constexpr std::size_t kLargePage = std::size_t{1} << 21;

}  // namespace

void* AllocateLarge(std::size_t bytes) {
    // Memory well short of a large page would only be padded out to one; a block of values that
    // falls short of one by less than a value (no size but a power of two divides it) fills it.
    if (bytes < kLargePage - kLargePage / 8) return std::malloc(bytes);
    if (bytes > SIZE_MAX - kLargePage) return nullptr;
    const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* memory = std::aligned_alloc(kLargePage, rounded);
    if (!memory) return nullptr;
#if defined(MADV_HUGEPAGE)
    // Where large pages are given only to memory that asks for them; a refusal leaves small ones.
    ::madvise(memory, rounded, MADV_HUGEPAGE);
#endif
    return memory;
}

}  // namespace tessiloom
