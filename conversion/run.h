#pragma once

#include <optional>
#include <string>

#include "conversion/conversion_host.h"
#include "conversion/targa_writer.h"

namespace tessiloom {

// The exact texts a run shows.
inline constexpr const char* kReadingStatus = "Reading Vertices...";
inline constexpr const char* kWritingStatus = "Writing POV-Ray Targa file...";
inline constexpr const char* kFinishedStatus = "Finished writing: ";
inline constexpr const char* kNotSquareMessage = "You terrain does not appear to be sqaure.";
inline constexpr const char* kUnreadableVertexMessage = "Failed to read vertex ";
inline constexpr const char* kClippedLowWarning =
    "Warning: a height value was lower than your minimum height range!";
inline constexpr const char* kClippedHighWarning =
    "Warning: a height value in was higher than your maximum height range!";

// The image's path: the source path with its last four characters, whatever they are, replaced
// by ".tga" ("hill.asc" gives "hill.tga", "hill.ascii" gives "hill.a.tga"). Empty when the path
// has fewer than four characters.
std::optional<std::string> OutputPathFor(const std::string& sourcePath);

struct ConversionOutcome {
    bool converted = false;  // the image was written in full (warnings or not)
    std::string outputPath;
    HeightFieldWrite write;  // what the writer clipped; meaningful when converted
};

// Runs one conversion of the host's current source file into a height-field Targa beside it and
// reports every step and every failure through the host: the busy pointer is on for the whole
// run, events are delivered at exactly two points (after the "Reading" and the "Writing" status,
// when only the source file is open), and a failure is one message after which the run stops
// with no image written and an older image of that name untouched. The source file is closed
// before the busy pointer goes off, on every path.
ConversionOutcome RunConversion(ConversionHost& host);

}  // namespace tessiloom
