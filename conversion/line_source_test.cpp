#include "conversion/line_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessiloom {
namespace {

using Lines = std::vector<std::string>;

Lines ReadAll(std::string_view text, std::size_t blockBytes) {
    StringByteSource bytes(text);
    LineSource source(bytes, blockBytes);
    Lines lines;
    std::string_view line;
    while (source.NextLine(line)) lines.emplace_back(line);
    return lines;
}

TEST(LineSource, EndsLinesAtCrLfLoneCrAndLoneLfInBlocksOfAnySize) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\nbb\r\n", {"a", "bb"}},
        {"a\nbb\n", {"a", "bb"}},
        {"a\rbb\r", {"a", "bb"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},  // no final terminator
        {"a\n\rb", {"a", "", "b"}},              // LF then CR is two ends
        {"\r\n\r\nx\r\n", {"", "", "x"}},
        {"x\r", {"x"}},
        {"", {}},
        {std::string(100, 'z') + "\r\nq", {std::string(100, 'z'), "q"}},
    };
    for (const auto& [text, expected] : cases) {
        // Tiny blocks split CR LF pairs and lines across refills at every possible position.
        for (std::size_t blockBytes : {2, 3, 5, 64, 4096})
            EXPECT_EQ(ReadAll(text, blockBytes), expected) << text;
    }
}

TEST(LineSource, FindsTheFirstMarkerByteOfEachLineOnTheWay) {
    const std::string text = "aZb\r\nno marker\r\n" + std::string(40, 'x') + "ZZ\n\rZ";
    const std::vector<std::size_t> expected = {1, LineSource::kNoMarker, 40, LineSource::kNoMarker, 0};
    for (std::size_t blockBytes : {2, 7, 4096}) {
        StringByteSource bytes(text);
        LineSource source(bytes, blockBytes);
        std::vector<std::size_t> markers;
        std::string_view line;
        std::size_t marker;
        while (source.NextLine(line, 'Z', marker)) markers.push_back(marker);
        EXPECT_EQ(markers, expected) << "block " << blockBytes;
    }
}

// Gives its text, then fails the way a disk read does.
class FailingByteSource final : public ByteSource {
  public:
    explicit FailingByteSource(std::string_view text) : text_(text) {}
    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override {
        Read read = text_.ReadAt(offset, buffer, capacity);
        if (read.count == 0) read.failure = "Input/output error";
        return read;
    }

  private:
    StringByteSource text_;
};

TEST(LineSource, NeverHandsOutTheCutLineBeforeAReadFailure) {
    FailingByteSource bytes("whole\r\nZ:12");  // "Z:12" may be the start of "Z:12.5"
    LineSource source(bytes, 4);
    std::string_view line;
    ASSERT_TRUE(source.NextLine(line));
    EXPECT_EQ(line, "whole");
    EXPECT_FALSE(source.NextLine(line));
    EXPECT_EQ(source.Failure(), "Input/output error");
}

}  // namespace
}  // namespace tessiloom
