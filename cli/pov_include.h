#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "conversion/listing.h"

// The POV-Ray include written beside an image: it declares the height range, the grid side and
// the mesh's extent, and a height_field object that puts the terrain back at its true size and
// place. POV-Ray reads any height-field image as a unit square (x and z from 0 to 1) with heights
// from 0 to 65535/65536; the object scales and moves that square so that mesh X runs along x,
// mesh Y along z, and the heights along y, in the listing's own units.
namespace tessiloom {

struct PovTerrain {
    std::string name;        // the identifier declared for the object
    std::string imageName;   // the image's file name
    std::string imageType;   // how POV-Ray is to read it: "tga", "png" or "pgm"
    std::string sourceName;  // the listing, for the header comment
    double low = 0;          // the height that became 0
    double high = 0;         // the height that became 65535
    GridSize grid;
    CornerPoints corners;
    // For a whole mesh, placed by its box, the listing's axis that runs along z ("Y", or "-Z" with
    // Y up); empty for a grid, placed by its corner vertices.
    std::string meshGround;
};

// Why no include can be written for this terrain: no object can be placed from its corners (no
// "X:"/"Y:" on a corner vertex, or no extent along one axis), or the image's name cannot be put in
// a POV-Ray string; empty when it can.
std::optional<std::string> CheckInclude(const PovTerrain& terrain);

// The include's text. CheckInclude must have passed.
std::string PovIncludeText(const PovTerrain& terrain);

// True for a name POV-Ray takes as an identifier, also with the suffixes of the declared values: a
// letter, then letters, digits and underscores, 35 characters at most, and none of its reserved words.
bool IsPovIdentifier(std::string_view name);

// An identifier made from a file's stem: other characters become "_", the first letter is
// capitalised (POV-Ray's own keywords are all lower case), and a stem that does not start with
// a letter gets "Terrain_" before it ("hill" gives "Hill", "2049-dem" gives "Terrain_2049_dem").
std::string IdentifierFromStem(std::string_view stem);

}  // namespace tessiloom
