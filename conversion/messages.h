#pragma once

#include <string>

#include "conversion/mesh_heights.h"

namespace tessiloom {

// The exact texts a conversion run shows, misspellings included: users and their scripts know them.
inline constexpr const char* kReadingStatus = "Reading Vertices...";
inline constexpr const char* kWritingStatus = "Writing POV-Ray Targa file...";
inline constexpr const char* kFinishedStatus = "Finished writing: ";
inline constexpr const char* kNotSquareMessage = "You terrain does not appear to be sqaure.";
inline constexpr const char* kUnreadableVertexMessage = "Failed to read vertex ";
inline constexpr const char* kClippedLowWarning =
    "Warning: a height value was lower than your minimum height range!";
inline constexpr const char* kClippedHighWarning =
    "Warning: a height value in was higher than your maximum height range!";
// After the image, for heights written with a decimal comma ("Z: 1,131584"), which are read up to it.
inline constexpr const char* kDecimalCommaWarning =
    "Warning: the heights seem to be written with decimal commas, and were read only up to the comma!";
// Why a listing too large for the machine's memory, or with a line of gigabytes, fails.
inline constexpr const char* kOutOfMemoryProblem = "there is not enough memory to hold it";

// "C x R", as messages give a grid's size.
inline std::string Times(GridSize grid) {
    return std::to_string(grid.columns) + " x " + std::to_string(grid.rows);
}

// "Could not <verb> '<path>': <problem>.", the form of every failure message that names a file.
inline std::string CouldNot(const std::string& verb, const std::string& path, const std::string& problem) {
    return "Could not " + verb + " '" + path + "': " + problem + ".";
}

// "its <what> '<path>' would be written over <kept>": why a run refuses to write a file that would
// replace one it must keep, such as the source itself.
inline std::string WrittenOver(const std::string& what, const std::string& path, const std::string& kept) {
    return "its " + what + " '" + path + "' would be written over " + kept;
}

}  // namespace tessiloom
