#include "bench/terrain_listing.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace tessiloom {
namespace {

constexpr double kCellSize = 30.0;  // metres between grid points, as in common elevation models

// Collects text in a large block and hands it to the file in whole blocks.
class BlockWriter {
  public:
    explicit BlockWriter(std::FILE* file) : file_(file), block_(new char[kBlockBytes]) {}
    ~BlockWriter() { Flush(); }

    BlockWriter& operator<<(std::string_view text) {
        if (used_ + text.size() > kBlockBytes) Flush();
        std::memcpy(block_.get() + used_, text.data(), text.size());
        used_ += text.size();
        return *this;
    }
    BlockWriter& operator<<(long value) {
        Reserve();
        used_ = static_cast<std::size_t>(std::to_chars(Free(), End(), value).ptr - block_.get());
        return *this;
    }
    BlockWriter& Fixed(double value) {
        Reserve();
        used_ = static_cast<std::size_t>(
            std::to_chars(Free(), End(), value, std::chars_format::fixed, 6).ptr - block_.get());
        return *this;
    }
    bool Failed() const { return failed_; }

  private:
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
    static constexpr std::size_t kLongestNumber = 64;

    void Reserve() {
        if (used_ + kLongestNumber > kBlockBytes) Flush();
    }
    char* Free() { return block_.get() + used_; }
    char* End() { return block_.get() + kBlockBytes; }
    void Flush() {
        if (used_ > 0 && std::fwrite(block_.get(), 1, used_, file_) != used_) failed_ = true;
        used_ = 0;
    }

    std::FILE* file_;
    std::unique_ptr<char[]> block_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// Rolling hills with a ridge and some fine detail, in metres, at x and y from 0 to 1.
double TerrainHeight(double x, double y) {
    return 420.0 + 180.0 * std::sin(6.1 * x) * std::cos(4.3 * y) +
           95.0 * std::exp(-40.0 * (x - y) * (x - y)) +
           7.5 * std::sin(97.0 * x + 13.0 * y) * std::sin(71.0 * y);
}

// How far a grid's inner vertex stands off its node, in steps, up to `jitter` each way: the same
// every time for the same vertex.
double Offset(long vertex, int axis, double jitter) {
    std::uint64_t bits = static_cast<std::uint64_t>(vertex) * 2 + static_cast<std::uint64_t>(axis) + 1;
    bits *= 0x9E3779B97F4A7C15u;
    bits ^= bits >> 29;
    return jitter * (static_cast<double>(bits % 2001) / 1000.0 - 1.0);
}

// Writes a listing to `path`, its text from `write(out)`: why it failed, or nothing.
template <typename Write>
std::optional<std::string> WriteListingFile(const std::string& path, Write&& write) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return "cannot create " + path;
    {
        BlockWriter out(file.get());
        write(out);
        if (out.Failed()) return "cannot write " + path;
    }
    if (std::fflush(file.get()) != 0) return "cannot write " + path;
    return std::nullopt;
}

// A side x side grid listing, its inner vertices up to `jitter` steps off their nodes.
std::optional<std::string> WriteGrid(const std::string& path, int side, double jitter) {
    return WriteListingFile(path, [&](BlockWriter& out) {
        const long faces = 2L * (side - 1) * (side - 1);
        out << "Ambient light color: Red=0.039216 Green=0.039216 Blue=0.039216\r\n\r\n"
            << "Named object: \"Terrain\"\r\n"
            << "Tri-mesh, Vertices: " << static_cast<long>(side) * side << "     Faces: " << faces << "\r\n"
            << "Vertex list:\r\n";
        const double origin = -kCellSize * (side - 1) / 2;
        for (int row = 0; row < side; ++row) {
            for (int column = 0; column < side; ++column) {
                const long vertex = static_cast<long>(row) * side + column;
                const bool inner = row > 0 && column > 0 && row + 1 < side && column + 1 < side;
                const double x = column + (inner ? Offset(vertex, 0, jitter) : 0);
                const double y = row + (inner ? Offset(vertex, 1, jitter) : 0);
                out << "Vertex " << vertex << ":  X:";
                out.Fixed(origin + kCellSize * x) << "     Y:";
                out.Fixed(origin + kCellSize * y) << "     Z:";
                out.Fixed(TerrainHeight(x / side, y / side)) << "\r\n";
            }
        }
        out << "Face list:\r\n";
        long face = 0;
        for (long row = 0; row + 1 < side; ++row) {
            for (long column = 0; column + 1 < side; ++column) {
                const long a = row * side + column;
                const long corners[2][3] = {{a, a + 1, a + side + 1}, {a, a + side + 1, a + side}};
                for (const auto& corner : corners) {
                    out << "Face " << face++ << ":    A:" << corner[0] << " B:" << corner[1]
                        << " C:" << corner[2] << " AB:1 BC:1 CA:0\r\nSmoothing:  1\r\n";
                }
            }
        }
    });
}

}  // namespace

std::optional<std::string> WriteTriangleObjectsListing(const std::string& path, int side) {
    return WriteListingFile(path, [&](BlockWriter& out) {
        out << "Ambient light color: Red=0.039216 Green=0.039216 Blue=0.039216\r\n\r\n";
        for (long cell = 0; cell < static_cast<long>(side) * side; ++cell) {
            const double x = static_cast<double>(cell % side), y = static_cast<double>(cell / side);
            out << "Named object: \"Triangle " << cell << "\"\r\nTri-mesh, Vertices: 3     Faces: 1\r\n"
                << "Vertex list:\r\n";
            const double corners[3][2] = {{x, y}, {x + 1, y}, {x, y + 1}};
            for (long vertex = 0; vertex < 3; ++vertex) {
                const auto [cx, cy] = corners[vertex];
                out << "Vertex " << vertex << ":  X:";
                out.Fixed(kCellSize * cx) << "     Y:";
                out.Fixed(kCellSize * cy) << "     Z:";
                out.Fixed(TerrainHeight(cx / side, cy / side)) << "\r\n";
            }
            out << "Face list:\r\nFace 0:    A:0 B:1 C:2 AB:1 BC:1 CA:1\r\nSmoothing:  1\r\n\r\n";
        }
    });
}

std::optional<std::string> WriteTerrainListing(const std::string& path, int side) {
    return WriteGrid(path, side, 0);
}

std::optional<std::string> WriteIrregularListing(const std::string& path, int side) {
    constexpr double kJitter = 0.2;  // of a step: every triangle keeps its turn
    return WriteGrid(path, side, kJitter);
}

}  // namespace tessiloom
