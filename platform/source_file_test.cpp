#include "platform/source_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

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

// A file that holds bytes is seen in place whatever its size, followed by a line feed and a page of
// zeros; the memory of its pieces, once released, comes back with the same bytes.
TEST(SourceFile, SeesAFileInPlaceFollowedByALineFeed) {
    TemporaryFolder folder;
    constexpr std::size_t kPiece = std::size_t{1} << 21;  // what the view releases at a time
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097}, kPiece + 3}) {
        std::string bytes(size, 'a');
        for (std::size_t at = 0; at < size; ++at) bytes[at] = static_cast<char>('a' + at % 23);
        WriteFile(folder / "hill.asc", bytes);
        const SourceFile source(folder / "hill.asc");
        const ByteSource::View whole = source.ViewAt(0, size + 10);
        ASSERT_TRUE(whole.bytes && whole.count == size && !whole.failure) << size;
        EXPECT_EQ(source.Release(0, size, true), size >= kPiece ? kPiece : 0);
        EXPECT_EQ(source.Release(0, size, false), size / 4096 * 4096);
        EXPECT_EQ(std::string_view(whole.bytes, size), bytes) << size;
        EXPECT_EQ(std::string_view(whole.bytes + size, 4097), '\n' + std::string(4096, '\0')) << size;
        const ByteSource::View atEnd = source.ViewAt(size, 10);
        EXPECT_TRUE(atEnd.count == 0 && !atEnd.failure) << size;
    }
}

// Pages another program cuts off a file while it is seen read as line feeds, and the next view
// says what happened.
TEST(SourceFile, TellsAFileShortenedWhileItIsSeen) {
    TemporaryFolder folder;
    const std::string bytes = std::string(3 * 4096, 'a') + "tail";
    WriteFile(folder / "hill.asc", bytes);
    const SourceFile source(folder / "hill.asc");
    const ByteSource::View before = source.ViewAt(0, bytes.size());
    std::filesystem::resize_file(folder / "hill.asc", 4096);
    EXPECT_EQ(std::string_view(before.bytes + 4096, 2 * 4096), std::string(2 * 4096, '\n'));
    EXPECT_EQ(std::string_view(before.bytes, 4096), std::string(4096, 'a'));
    EXPECT_EQ(source.ViewAt(4096, 10).failure, SourceFile::kBytesLostProblem);
}

// A bus error anywhere else ends the program as it would have.
TEST(SourceFileDeathTest, LeavesOtherBusErrorsFatal) {
    if (kUnderSanitizer) GTEST_SKIP() << "a sanitizer reports bus errors itself";
    TemporaryFolder folder;
    WriteFile(folder / "hill.asc", std::string(8192, 'a'));
    const SourceFile source(folder / "hill.asc");
    EXPECT_EXIT(std::raise(SIGBUS), testing::KilledBySignal(SIGBUS), "");
}

}  // namespace
}  // namespace tessiloom
