#include "platform/source_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
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
    // A view ends with its file: more of them, one after another, than could be seen at once.
    for (int view = 0; view < 20; ++view)
        EXPECT_TRUE(SourceFile(folder / "hill.asc").ViewAt(0, 1).bytes) << view;
}

// Pages another program cuts off a file while it is seen read as line feeds, and the next view
// says what happened.
TEST(SourceFile, TellsAFileShortenedWhileItIsSeen) {
    TemporaryFolder folder;
    const std::string bytes = std::string(3 * 4096, 'a') + "tail";
    WriteFile(folder / "hill.asc", bytes);
    const SourceFile source(folder / "hill.asc");
    const ByteSource::View before = source.ViewAt(0, bytes.size());
    // Within a page nothing is lost that the system would tell, but the file is found shorter.
    std::filesystem::resize_file(folder / "hill.asc", 2 * 4096 + 100);
    EXPECT_TRUE(source.BytesLost() && !source.ViewAt(4096, 10).failure);
    std::filesystem::resize_file(folder / "hill.asc", 4096);
    EXPECT_EQ(std::string_view(before.bytes + 4096, 2 * 4096), std::string(2 * 4096, '\n'));
    EXPECT_EQ(std::string_view(before.bytes, 4096), std::string(4096, 'a'));
    EXPECT_EQ(source.ViewAt(4096, 10).failure, SourceFile::kBytesLostProblem);

    // A file the cache may hold in large pieces, seen from a multiple of them so that each is mapped
    // whole: the pieces cut off read as line feeds all the same.
    constexpr std::size_t kMebibyte = std::size_t{1} << 20;
    const std::string large(8 * kMebibyte, 'b');
    WriteFile(folder / "large.asc", large);
    const SourceFile whole(folder / "large.asc");
    const ByteSource::View seen = whole.ViewAt(0, large.size());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(seen.bytes) % (2 * kMebibyte), 0u);
    EXPECT_EQ(std::string_view(seen.bytes, large.size()), large);
    std::filesystem::resize_file(folder / "large.asc", 3 * kMebibyte);
    EXPECT_EQ(std::string_view(seen.bytes + 3 * kMebibyte - 4096, 8192),
              std::string(4096, 'b') + std::string(4096, '\n'));
    EXPECT_EQ(std::string_view(seen.bytes + 6 * kMebibyte, 4096), std::string(4096, '\n'));
    EXPECT_EQ(whole.ViewAt(0, 10).failure, SourceFile::kBytesLostProblem);
}

// In a process of its own, where no file was seen yet: a bus error outside a view, raised after a
// handler of the program's own was set when `handled`, which then ends the process with code 3.
[[noreturn]] void RaiseBusErrorBesideAView(bool handled) {
    if (handled) std::signal(SIGBUS, [](int) { std::_Exit(3); });
    TemporaryFolder folder;
    WriteFile(folder / "hill.asc", std::string(8192, 'a'));
    const SourceFile source(folder / "hill.asc");
    std::raise(SIGBUS);
    std::_Exit(0);
}

// A bus error anywhere but in a view goes where it would have gone without views.
TEST(SourceFileDeathTest, LeavesOtherBusErrorsAsTheyWere) {
    if (kUnderSanitizer) GTEST_SKIP() << "a sanitizer reports bus errors itself";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RaiseBusErrorBesideAView(false), testing::KilledBySignal(SIGBUS), "");
    EXPECT_EXIT(RaiseBusErrorBesideAView(true), testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace tessiloom
