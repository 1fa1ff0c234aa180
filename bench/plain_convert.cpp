// The conversion as a plain reader does it, for the benchmark to measure ours against: one thread,
// lines split with memchr, heights read with std::from_chars (and with Val where the text is more
// than a plain number), kept in a vector. The header and the image are the conversion's own.
//
//   tessiloom-plain-convert LISTING IMAGE
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "conversion/height_field.h"
#include "conversion/listing.h"
#include "conversion/val.h"
#include "formats/targa.h"
#include "platform/file_handle.h"
#include "platform/source_file.h"

namespace {

using namespace tessiloom;

double HeightOf(std::string_view line) {
    const std::size_t marker = line.find("Z:");
    if (marker == std::string_view::npos) return std::numeric_limits<double>::quiet_NaN();
    const std::string_view text = line.substr(marker + 2);
    double height = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), height);
    return error == std::errc() && end == text.data() + text.size() ? height : Val(text);
}

struct Heights {
    std::vector<double> values;
    double lowest = 65000.0;
    double highest = 0.0;
};

// Reads `count` vertex lines of `path` from `offset` on, as plainly as they can be read.
bool ReadHeights(const char* path, long offset, std::size_t count, Heights& heights) {
    const FileHandle file(std::fopen(path, "rb"));
    if (!file || std::fseek(file.get(), offset, SEEK_SET) != 0) return false;
    std::vector<char> block(std::size_t{1} << 20);
    std::size_t held = 0;
    while (heights.values.size() < count) {
        const std::size_t read = std::fread(block.data() + held, 1, block.size() - held, file.get());
        if (read == 0) return false;
        held += read;
        const char* start = block.data();
        const char* const end = block.data() + held;
        while (heights.values.size() < count) {
            const auto* lineEnd = static_cast<const char*>(std::memchr(start, '\n', end - start));
            if (!lineEnd) break;
            std::string_view line(start, lineEnd - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const double height = HeightOf(line);
            if (!std::isfinite(height)) return false;
            heights.values.push_back(height);
            heights.lowest = std::min(heights.lowest, height);
            heights.highest = std::max(heights.highest, height);
            start = lineEnd + 1;
        }
        held = static_cast<std::size_t>(end - start);
        std::memmove(block.data(), start, held);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    SourceFile file(argv[1]);
    LineSource lines(file, kHeaderBlockBytes);
    Listing listing;
    Heights heights;
    if (file.OpenFailure() || ReadListingHeader(lines, argv[1], {}, listing) ||
        !ReadHeights(argv[1], static_cast<long>(lines.Position()), listing.counts.vertexCount, heights)) {
        std::fprintf(stderr, "tessiloom-plain-convert: cannot read %s\n", argv[1]);
        return 1;
    }
    HeightList list;
    for (const double height : heights.values) {
        if (!list.Append(height)) return 1;
    }
    const HeightFieldWrite write =
        WriteHeightField(argv[2], kTargaFormat, listing.grid, list, heights.lowest, heights.highest);
    return write.failure ? 1 : 0;
}
