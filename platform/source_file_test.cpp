#include "platform/source_file.h"

#include <gtest/gtest.h>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

// The end of the file is no failure; a read the system refuses is told, not tried again: here one
// from beyond the largest file offset.
TEST(SourceFile, TellsTheEndApartFromARefusedRead) {
    TemporaryFolder folder;
    WriteFile(folder / "hill.asc", "Vertices: 4 Faces: 2\r\n");
    const SourceFile source(folder / "hill.asc");
    char buffer[8];
    const ByteSource::Read atEnd = source.ReadAt(22, buffer, sizeof buffer);
    const ByteSource::Read refused = source.ReadAt(std::uint64_t{1} << 63, buffer, sizeof buffer);
    EXPECT_TRUE(atEnd.count == 0 && !atEnd.failure && refused.count == 0);
    EXPECT_EQ(refused.failure, "Invalid argument");
}

}  // namespace
}  // namespace tessiloom
