#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/file_conversion.h"
#include "cli/help_formatter.h"
#include "cli/listing_info.h"
#include "cli/pov_include.h"
#include "cli/shared_range.h"
#include "conversion/image_format.h"
#include "conversion/number_text.h"
#include "conversion/val.h"
#include "formats/formats.h"
#include "tessiloom/version.h"

namespace tessiloom {
namespace {

constexpr const char* kProgramName = "tessiloom-convert";

struct Arguments {
    std::string min;
    std::string max;
    bool sharedRange = false;
    std::string format = "tga";
    std::string size;
    std::string up = "z";
    bool info = false;
    ConversionRequest request;
    std::vector<std::string> files;
};

// A height is read by the rule every height follows, and must be one number and nothing else. A
// blank, which that rule would skip, is refused: in an argument it is a quoting mistake, not part
// of a number.
bool IsOneNumber(const std::string& text) {
    return text.find_first_of(" \t\n") == std::string::npos && ReadVal(text).length == text.size() &&
           !text.empty();
}

const CLI::Validator kOneNumber(
    [](std::string& text) { return IsOneNumber(text) ? std::string() : "'" + text + "' is not a number"; },
    "HEIGHT");

const CLI::Validator kPovIdentifier(
    [](std::string& name) {
        return IsPovIdentifier(name) ? std::string()
                                     : "'" + name +
                                           "' is not a POV-Ray name: a letter, then letters, digits or "
                                           "underscores, 35 characters at most, and none of POV-Ray's "
                                           "own words";
    },
    "NAME");

constexpr const char* kExamples = R"(Examples:
  tessiloom-convert hill.asc
      writes hill.tga beside hill.asc, over the listing's own height range
  tessiloom-convert --min 0 --max 2500 tiles/*.asc
      maps 0 to black and 2500 to white in every tile, so the tiles match
  tessiloom-convert --shared-range --rectangular tiles/*.asc
      maps every tile over one range that holds them all, each C x R vertices
  tessiloom-convert --format png --output-dir blender hill.asc
      writes blender/hill.png, a 16-bit grey PNG for tools other than POV-Ray
  tessiloom-convert --mesh --size 1025x1025 --format r16 --sidecar hill.asc
      writes hill.r16 for a game engine, and hill.json with its scale
  tessiloom-convert --format tiff hill.asc
      writes hill.tif, the heights as a float GeoTIFF for QGIS or GDAL
  tessiloom-convert --pov-include --output-dir scenes hill.asc
      writes scenes/hill.tga and scenes/hill.inc, declaring Hill at true size
  tessiloom-convert --info --min 0 --max 2500 hill.asc
      tells the range and how many heights 0 to 2500 would clip, writes nothing

Exit status: 0 when every file converted (warnings allowed), 1 when any failed,
2 for a usage error.)";

std::vector<std::string> FormatNamesList() {
    std::vector<std::string> names;
    std::istringstream joined(FormatNames(" "));
    for (std::string name; joined >> name;) names.push_back(name);
    return names;
}

// What CLI11 cannot say of the options together: usage errors.
void CheckCombinations(const Arguments& arguments) {
    const ImageFormat& format = *FormatNamed(arguments.format);
    if (arguments.request.povInclude && !format.povRayReads) {
        throw CLI::ValidationError("--pov-include", "POV-Ray reads no height field in the format " +
                                                        arguments.format + "; write tga, png or pgm for it");
    }
}

// The options that settle the height range.
void DescribeRange(CLI::App& app, Arguments& arguments) {
    auto* min = app.add_option("--min", arguments.min, "the height that maps to 0 (given with --max)")
                    ->check(kOneNumber)
                    ->option_text("HEIGHT");
    auto* max = app.add_option("--max", arguments.max, "the height that maps to 65535 (given with --min)")
                    ->check(kOneNumber)
                    ->option_text("HEIGHT");
    min->needs(max);
    max->needs(min);
    auto* shared = app.add_flag("--shared-range", arguments.sharedRange,
                                "map every FILE over one range: the lowest of their automatic lows to the "
                                "highest of their highs, so that tiles meet without steps");
    shared->excludes(min);
    shared->excludes(max);
}

// The options that say what is written, and where.
void DescribeOutput(CLI::App& app, Arguments& arguments) {
    auto* format =
        app.add_option("--format", arguments.format,
                       "tga: the Targa POV-Ray reads (the default); png: a 16-bit greyscale PNG "
                       "holding the same levels; pgm: a 16-bit PGM, which POV-Ray reads too; r16: "
                       "the levels raw, 16 bits little-endian, for game engines; tiff: the heights "
                       "themselves as a 32-bit float GeoTIFF, for GIS")
            ->check(CLI::IsMember(FormatNamesList()))
            ->option_text(FormatNames("|"));
    auto* include = app.add_flag("--pov-include", arguments.request.povInclude,
                                 "also write a POV-Ray include beside each image (hill.inc) that places the "
                                 "terrain at its true size and position");
    auto* name =
        app.add_option("--pov-name", arguments.request.povName,
                       "the name the include declares (default: from the file name, hill gives Hill)")
            ->check(kPovIdentifier)
            ->option_text("NAME");
    name->needs(include);
    auto* sidecar =
        app.add_flag("--sidecar", arguments.request.sidecar,
                     "also write a sidecar beside each image (hill.json) with its size, the heights "
                     "of levels 0 and 65535 and where its pixels lie, for tools that keep no scale");
    auto* folder =
        app.add_option("--output-dir", arguments.request.outputFolder,
                       "write the images (and includes, sidecars) into this existing folder instead")
            ->check(CLI::ExistingDirectory)
            ->option_text("DIR");
    auto* info = app.add_flag("--info", arguments.info,
                              "describe each listing (counts, grid, ranges, with --min/--max what would be "
                              "clipped) and write nothing");
    for (CLI::Option* writing : {format, include, sidecar, folder, app.get_option("--shared-range")})
        info->excludes(writing);
}

// "WxH", each side 2 to 32767 in plain digits; nothing when the text is not that.
std::optional<GridSize> ImageSizeOf(const std::string& text) {
    GridSize size;
    const char* const end = text.data() + text.size();
    const auto [times, columnsError] = std::from_chars(text.data(), end, size.columns);
    if (columnsError != std::errc() || times == end || *times != 'x' || times == text.data())
        return std::nullopt;
    const auto [after, rowsError] = std::from_chars(times + 1, end, size.rows);
    if (rowsError != std::errc() || after != end || !std::isdigit(static_cast<unsigned char>(times[1])))
        return std::nullopt;
    const auto fits = [](std::int32_t side) { return side >= 2 && side <= kLargestImageSide; };
    if (!fits(size.columns) || !fits(size.rows)) return std::nullopt;
    return size;
}

const CLI::Validator kImageSize(
    [](std::string& text) {
        return ImageSizeOf(text) ? std::string() : "'" + text + "' is not a size WxH of 2 to 32767 each way";
    },
    "WxH");

// The options that read whole meshes, which any grid is, rectangular or not.
void DescribeMesh(CLI::App& app, Arguments& arguments, CLI::Option* rectangular) {
    auto* mesh = app.add_flag("--mesh", arguments.request.mesh,
                              "read the whole mesh: every object, vertex and face, in any order; a lattice "
                              "gives one pixel a node, any other mesh is sampled through its triangles");
    mesh->excludes(rectangular);
    app.add_option("--size", arguments.size,
                   "with --mesh, sample the mesh's box at WxH points (2 to 32767 each way), lattice or not")
        ->check(kImageSize)
        ->option_text("WxH")
        ->needs(mesh);
    app.add_option("--up", arguments.up, "with --mesh, the axis that points up: z (the default), or y")
        ->check(CLI::IsMember({"y", "z"}))
        ->option_text("y|z")
        ->needs(mesh);
}

void Describe(CLI::App& app, Arguments& arguments) {
    app.formatter(std::make_shared<HelpFormatter>());
    app.description(
        "Converts ASC triangle-mesh listings of terrain grids into 16-bit POV-Ray height-field images. Each "
        "image goes beside its listing, named after it with the last four characters replaced by \".tga\" "
        "(hill.asc gives hill.tga) or the extension of its format. Without --min and --max the heights are "
        "mapped from the "
        "lowest (at most 65000) to the highest (at least 0) onto 0 to 65535.");
    app.set_version_flag("--version", std::string(kProgramName) + " " + kVersionText);
    DescribeRange(app, arguments);
    DescribeOutput(app, arguments);
    auto* rectangular = app.add_flag(
        "--rectangular", arguments.request.rectangular,
        "also take grids of C columns and R rows, C x R vertices with 2(C-1)(R-1) faces, C counted "
        "from the first row: the vertices that share vertex 0's Y");
    DescribeMesh(app, arguments, rectangular);
    app.add_flag("-q,--quiet", arguments.request.quiet, "print only the messages, no status lines");
    app.add_option("FILE", arguments.files, "the ASC listings")->required();
    app.footer(kExamples);
}

// Converts or describes each file; whether all of them went through.
bool ConvertEach(const std::vector<std::string>& files, const Arguments& arguments, std::ostream& out,
                 std::ostream& log) {
    bool all = true;
    ConversionBatch batch{arguments.files, {}};
    for (const std::string& file : files) {
        const bool done = arguments.info ? DescribeListing(file, arguments.request, out, log)
                                         : ConvertFile(file, arguments.request, batch, log);
        all = all && done;
    }
    return all;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& log) {
    CLI::App app;
    app.name(kProgramName);
    Arguments arguments;
    Describe(app, arguments);
    try {
        app.parse(argc, argv);
        CheckCombinations(arguments);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help, out, log);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version, out, log);
    } catch (const CLI::ParseError& error) {
        app.exit(error, out, log);
        return kExitUsageError;
    }

    if (!arguments.min.empty()) arguments.request.preset = PresetTexts{arguments.min, arguments.max};
    arguments.request.format = FormatNamed(arguments.format);
    if (!arguments.size.empty()) arguments.request.meshRequest.size = ImageSizeOf(arguments.size);
    if (arguments.up == "y") arguments.request.meshRequest.up = UpAxis::kY;
    if (!arguments.sharedRange) {
        const bool all = ConvertEach(arguments.files, arguments, out, log);
        if (!(out << std::flush)) {  // a description that could not be written is no description
            log << kProgramName << ": could not write to standard output\n";
            return kExitFailed;
        }
        return all ? kExitConverted : kExitFailed;
    }
    const std::optional<SharedRange> shared = FindSharedRange(arguments.files, arguments.request, log);
    if (!shared) return kExitFailed;
    const std::string low = NumberText(shared->low);
    const std::string high = NumberText(shared->high);
    if (!arguments.request.quiet) log << "Shared range: " << low << " to " << high << '\n';
    // Tiles all flat at one height share no range; each then says so as a conversion of it alone would,
    // not as though the user had preset a range of no span.
    if (shared->high - shared->low != 0)
        arguments.request.preset = PresetTexts{low, high};  // read back by Val, each the very same double
    const bool all = ConvertEach(shared->readable, arguments, out, log);
    return all && shared->readable.size() == arguments.files.size() ? kExitConverted : kExitFailed;
}

}  // namespace tessiloom
