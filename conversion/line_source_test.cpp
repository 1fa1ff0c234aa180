#include "conversion/line_source.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

// The lines read in blocks of `blockBytes`, each followed by "|", and why reading stopped.
std::string ReadLines(const ByteSource& bytes, std::size_t blockBytes) {
    LineSource source(bytes, blockBytes);
    std::string read;
    for (std::string_view line; source.NextLine(line);) {
        // Every line is followed by its end, as parsers that load past it rely on.
        EXPECT_TRUE(line.data()[line.size()] == '\r' || line.data()[line.size()] == '\n');
        read += std::string(line) + "|";
    }
    return read + source.Failure().value_or("");
}

TEST(LineSource, EndsLinesAtCrLfLoneCrAndLoneLfInBlocksOfAnySize) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nbb\r\n", "a|bb|"}, {"a\nbb\n", "a|bb|"}, {"a\rbb\r", "a|bb|"}, {"x\r", "x|"}, {"", ""},
        {"a\r\nb\rc\nd", "a|b|c|d|"}, {"a\n\rb", "a||b|"},  // no final terminator; LF then CR is two ends
        {"\r\n\r\nx\r\n", "||x|"}, {std::string(99, 'z') + "\r\nq", std::string(99, 'z') + "|q|"},
        {std::string(40, 'x') + "\n\r" + std::string(20, 'y'), std::string(40, 'x') + "||" + std::string(20, 'y') + "|"},
    };
    // clang-format on
    for (const auto& [text, expected] : cases) {
        // Tiny blocks split CR LF pairs and lines across refills at every possible position.
        for (const std::size_t blockBytes : {2, 3, 5, 7, 64, 4096}) {
            EXPECT_EQ(ReadLines(StringByteSource(text), blockBytes), expected) << text;
            EXPECT_EQ(ReadLines(DawdlingByteSource(text, {.inPlace = true}), blockBytes), expected) << text;
        }
    }
    // "Z:12" may be the start of "Z:12.5": the cut line before a read failure is never handed out.
    for (const bool inPlace : {false, true}) {
        EXPECT_EQ(ReadLines(DawdlingByteSource("whole\r\nZ:12", {.failsAtEnd = true, .inPlace = inPlace}), 4),
                  "whole|Input/output error");
    }
    // The position is where the next line starts, while it still waits in the block.
    const StringByteSource bytes(std::string_view("ab\r\ncd\n"));
    LineSource source(bytes);
    std::string_view line;
    source.NextLine(line);
    EXPECT_EQ(source.Position(), 4u);
}

}  // namespace
}  // namespace tessiloom
