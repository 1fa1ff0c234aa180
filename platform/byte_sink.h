#pragma once

#include <cstddef>

namespace tessiloom {

// Where a writer's bytes go: a file being written into place, or memory in tests.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // Appends `size` bytes; false when they could not all be written.
    virtual bool Write(const char* data, std::size_t size) = 0;
};

}  // namespace tessiloom
