// Reading vertex lines in stretches on two threads must come to what one thread reading every line
// in turn comes to, wherever the stretches meet, whichever thread runs slower, and whatever fails.
#include "conversion/stretch_reading.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>

#include "conversion/test_listing.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// Small blocks make even a few hundred lines worth a second thread.
constexpr std::size_t kSmallBlocks[] = {16, 100};

// The first thread dawdles, or with `othersDawdle` the one it starts, which then reads slower
// than the first and has its lines taken over.
std::string ReadInStretches(const std::string& text, std::int32_t count, std::int32_t columns,
                            std::size_t blockBytes, Dawdling how) {
    how.pause = std::chrono::microseconds(20);
    return ReadHeights(DawdlingByteSource(text, how), count, {.blockBytes = blockBytes}, columns);
}

std::string ReadAlone(const std::string& text, std::int32_t count, std::int32_t columns, bool fails) {
    return ReadHeightsAlone(DawdlingByteSource(text, {.failsAtEnd = fails}), count, columns);
}

TEST(ReadInStretches, ComesToWhatOneThreadComesTo) {
    std::string clean;
    for (int i = 0; i < 300; ++i) {
        clean += "Vertex " + std::to_string(i) + ": X:" + std::to_string(i % 20) +
                 " Y:" + std::to_string(i / 20) + " Z:" + std::to_string(i * 37 % 101) +
                 (i % 7 == 0 ? ".25" : "") + (i % 3 == 0 ? "\n" : "\r\n");
    }
    const auto replaced = [&](const std::string& from, const std::string& to) {
        return std::string(clean).replace(clean.find(from), from.size(), to);
    };
    std::string wide;  // a first row longer than a stretch of lines: it is read alone to its end all the same
    for (int i = 0; i < 300; ++i)
        wide += "Z:1 X:" + std::to_string(i % 250) + " Y:" + std::to_string(i / 250) + "\n";
    // The last vertex's line read by a run that reads on past it, found again for its plane position.
    const std::string readOnPast = clean.substr(0, clean.find("Vertex 280:")) + "Z:7 X:99 Y:99\n" + clean;
    for (const std::string& text :
         {clean + "Face list:\r\n", wide, readOnPast, replaced("Vertex 233:", "Vertex 233: no height\n"),
          replaced("Vertex 250: X:10 Y:12 Z:", "Vertex 250: X:10 Y:12 Z:1e999"),
          clean.substr(0, clean.find("Vertex 271:")), replaced("\r\nVertex 150", "\rVertex 150")}) {
        for (const std::int32_t columns : {-1, 0, 20})  // no plane, or one found or given
            for (const bool fails : {false, true})  // the disk fails past the end: no matter unless reached
                for (const std::size_t block : kSmallBlocks)
                    for (const bool othersDawdle : {false, true})
                        for (const bool inPlace : {false, true})
                            EXPECT_EQ(
                                ReadInStretches(
                                    text, 280, columns, block,
                                    {.othersDawdle = othersDawdle, .failsAtEnd = fails, .inPlace = inPlace}),
                                ReadAlone(text, 280, columns, fails));
    }
}

// Every listing the fuzzer starts from, read through tiny blocks as its header says.
TEST(ReadInStretches, ComesToWhatOneThreadComesToOverTheFuzzCorpus) {
    for (const auto& entry : std::filesystem::directory_iterator(TESSILOOM_FUZZ_CORPUS)) {
        const std::string text = ReadFile(entry.path()).substr(1);  // after the fuzzer's flags
        const StringByteSource bytes(text);
        LineSource header(bytes);
        HeaderCounts counts;
        if (ReadHeaderCounts(header, counts) || SkipToVertexList(header)) continue;
        const std::string rest = text.substr(header.Position());
        for (const std::int32_t columns : {-1, 0})
            for (const bool othersDawdle : {false, true})
                EXPECT_EQ(ReadInStretches(rest, counts.vertexCount, columns, 16,
                                          {.othersDawdle = othersDawdle, .inPlace = othersDawdle}),
                          ReadAlone(rest, counts.vertexCount, columns, false))
                    << entry.path();
    }
}

// The second thread may read past the vertex lines before it learns where the first thread's
// stretch ended: the face list it meets there is no unreadable vertex, and the decimal commas of
// lines past the count are not counted. And the thread that reads no faster than the disk leaves
// most of the lines to the other.
TEST(ReadInStretches, SharesTheLinesWithAThreadThatReadsFaster) {
    std::string listing;
    for (int i = 0; i < 303; ++i)
        listing +=
            "Vertex " + std::to_string(i) + ": Z:" + std::to_string(i) + (i >= 299 ? ",5" : "") + "\r\n";
    listing += "Face list:\r\n";
    const DawdlingByteSource bytes(listing, {.pause = std::chrono::milliseconds(1)});
    GridPlane plane{
        20, {}};  // asked for, as an include asks: past its first row, the lines are shared all the same
    const auto& [mesh, unreadable, failure, decimalCommas] =
        ReadVertexHeights(bytes, 0, 300, &plane, {.blockBytes = 16});
    EXPECT_TRUE(mesh.heights.Size() == 300 && !unreadable && !failure && decimalCommas == 1 &&
                bytes.BytesReadElsewhere() > listing.size() / 2);
}

// A stretch is split at a line start past its middle, looked for a window of 4 KiB at a time: a CR
// that ends a window may be the first half of a CR LF.
TEST(Stretch, SplitsWhereTheNextLineStarts) {
    const std::pair<std::string, std::uint64_t> cases[] = {
        {std::string(14095, 'a') + "\r\n" + std::string(5903, 'b'), 14097},
        {std::string(14095, 'a') + "\rb" + std::string(5903, 'b'), 14096},
        {std::string(12000, 'a') + "\n" + std::string(7999, 'b'), 12001},
    };
    for (const auto& [text, split] : cases) {
        const StringByteSource bytes(text);
        Stretch stretch(bytes, 0, text.size());
        const auto rest = stretch.Split(Stretch::kNoEnd, 100);
        EXPECT_EQ(rest, std::make_optional(std::pair<std::uint64_t, std::uint64_t>{split, text.size()}))
            << split;
        EXPECT_EQ(stretch.Close(), split);
    }
}

// In a child process whose memory is limited, reads 300 vertex lines in blocks of 16 bytes, line
// 250 too long to hold and line `unreadable`, if any, without a height. What it came to, on
// standard error.
[[noreturn]] void ReadBeyondMemory(int unreadable, bool othersDawdle) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += (i == unreadable ? "none" : "Z:" + std::to_string(i)) + "\n";
    text.insert(text.find("Z:250\n"), std::size_t{64} << 20, 'x');
    const DawdlingByteSource bytes(text,
                                   {.pause = std::chrono::microseconds(20), .othersDawdle = othersDawdle});
    LimitAddressSpace(rlim_t{32} << 20);
    const VertexHeights read = ReadVertexHeights(bytes, 0, 300, nullptr, {.blockBytes = 16});
    std::cerr << read.failure.value_or("vertex " + std::to_string(read.unreadableVertex.value_or(-1)));
    std::exit(0);
}

// Memory that runs out decides only where no line before it has failed, whichever thread reads the
// line too long to hold: the dawdling first leaves it to the second, the first takes it over from a
// dawdling second.
TEST(ReadInStretchesDeathTest, RunsOutOfMemoryInListingOrder) {
    if (!kCanLimitAddressSpace) GTEST_SKIP() << "under a sanitizer";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool othersDawdle : {false, true}) {
        EXPECT_EXIT(ReadBeyondMemory(-1, othersDawdle), testing::ExitedWithCode(0),
                    "^there is not enough memory to hold it$");
        EXPECT_EXIT(ReadBeyondMemory(100, othersDawdle), testing::ExitedWithCode(0), "^vertex 100$");
    }
}

}  // namespace
}  // namespace tessiloom
