#include "platform/byte_source.h"

#include <algorithm>
#include <cstring>

namespace tessiloom {

ByteSource::Read StringByteSource::ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
    if (offset >= text_.size()) return {};
    const std::size_t count = std::min<std::size_t>(capacity, text_.size() - offset);
    std::memcpy(buffer, text_.data() + offset, count);
    return {count, std::nullopt};
}

}  // namespace tessiloom
