#include "platform/source_file.h"

#include <gtest/gtest.h>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

// A read the system refuses is told, not tried again: here one from beyond the largest file offset.
TEST(SourceFile, TellsAReadTheSystemRefuses) {
    TemporaryFolder folder;
    WriteFile(folder / "hill.asc", "Vertices: 4 Faces: 2\r\n");
    const SourceFile source(folder / "hill.asc");
    char buffer[8];
    EXPECT_EQ(source.ReadAt(std::uint64_t{1} << 63, buffer, sizeof buffer).failure, "Invalid argument");
}

}  // namespace
}  // namespace tessiloom
