#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/block_list.h"
#include "conversion/line_runs.h"
#include "conversion/mesh_heights.h"
#include "mesh/ground_points.h"
#include "mesh/line_layout.h"

// What the lines of a whole mesh listing mean, as real exporters write them, and the reading of a
// run of them on one thread; see line_runs.h. A line is one of:
// - "Named object: ..." (or "Named Object:"), which starts an object, and "Tri-mesh, Vertices: ..."
//   (or "Tri-mesh."), which makes the object a mesh;
// - a vertex line, "Vertex 12:  X:120.0     Y:40.0     Z:3.25", whatever number it prints: its X, Y
//   and Z are the values after the first "X:", "Y:" and "Z:" that follow no other letter;
// - a face line, "Face 7:    A:3 B:4 C:8 AB:1 BC:1 CA:0" (or glued after "Face list:"): the vertices
//   its A, B and C name, by their place in the object's vertex lines;
// - anything else, which is skipped: "Vertex list:", "Page 2", "Material:", "Smoothing:", lights,
//   cameras and the rest.
// Numbers follow Val's rule, with a decimal comma read as a point.
namespace tessiloom {

// Which axis of the listing points up: Z (the ground is X and Y), or Y for models exported with Y up
// (the ground is X and -Z, right-handed seen from above).
enum class UpAxis { kZ, kY };

// The listing's axis along which the ground's second coordinate runs, as messages name it.
inline const char* GroundAxisName(UpAxis up) {
    return up == UpAxis::kZ ? "Y" : "-Z";
}

// The listing's markers the ground's second coordinate and the height are read from.
inline const char* GroundMarker(UpAxis up) {
    return up == UpAxis::kZ ? "Y" : "Z";
}
inline const char* HeightMarker(UpAxis up) {
    return up == UpAxis::kZ ? "Z" : "Y";
}

// Which vertices the faces of a run use, by their places in the objects they belong to: a byte each,
// 1 where used, the objects' places one after another. That is all a lattice needs of its faces, a
// byte a vertex where the faces of a grid take 24; bytes, unlike bits, are set by stores alone, with
// no load to wait for. The first object holds the places of the faces before the run's first mark;
// only the last grows.
class UsedPlaces {
  public:
    // Starts the places of another object, after those of the last.
    void Open() { laterStarts_.push_back(bytes_.size()); }

    // Sets the face's corners among the last object's places where they are all held; false,
    // setting none, where they are not.
    bool TryMark(MeshFace face) {
        const std::size_t first = LastStart();
        if (std::max(std::max(face.a, face.b), face.c) >= bytes_.size() - first) return false;
        // Through a pointer of its own: a byte stored through the vector's may alias the vector,
        // which would then be loaded again for every corner.
        std::uint8_t* const used = bytes_.data() + first;
        used[face.a] = used[face.b] = used[face.c] = 1;
        return true;
    }
    // Makes the last object hold at least `places`; false when there is no memory for that.
    bool Grow(std::size_t places);
    // Appends the objects of `next`, its first one's places added to this one's last where
    // `continues`, else dropped; false when there was no memory for them.
    bool Join(UsedPlaces&& next, bool continues);

    std::size_t PlacesOf(std::size_t object) const { return End(object) - Start(object); }
    // The object's places from `first` (a multiple of 8) on, up to 64 of them, a bit each from the
    // lowest.
    std::uint64_t BitsFrom(std::size_t object, std::size_t first) const;

  private:
    std::size_t Objects() const { return laterStarts_.size() + 1; }
    std::size_t Start(std::size_t object) const { return object == 0 ? 0 : laterStarts_[object - 1]; }
    std::size_t LastStart() const { return Start(Objects() - 1); }
    std::size_t End(std::size_t object) const {
        return object + 1 < Objects() ? laterStarts_[object] : bytes_.size();
    }

    std::vector<std::uint8_t> bytes_;  // a multiple of 8, as each object's places are
    // Where each object's places begin after the first's, which begin at 0: made without memory of its
    // own, a run can be made on a reading thread with no failure to report.
    std::vector<std::size_t> laterStarts_;
};

// Where an object starts in the lines, or becomes a mesh, or both: a named object whose "Tri-mesh"
// header comes before any vertex or face line, as exporters write them. A plain value, kept in a
// block list, so that a listing of many small objects takes no more memory for them than its
// vertices allow.
struct ObjectMark {
    enum class Kind { kNamed, kTriMesh, kNamedMesh };
    Kind kind = Kind::kNamed;
    std::size_t nameStart = 0;  // a named object's name, without its quotes, in its run's names
    std::size_t nameSize = 0;
    std::uint64_t vertex = 0;  // how many vertex lines come before it
    std::uint64_t face = 0;    // how many face lines come before it

    bool MakesMesh() const { return kind != Kind::kNamed; }
};

// The first face line whose A, B or C names no vertex by number: which face line, and what it names
// (NaN where the marker is missing).
struct StrayFace {
    std::uint64_t face = 0;
    double vertex = 0;
};

// How the faces of a mesh are read: kept, to sample the mesh through its triangles, or only as the
// places they use, which is all a lattice needs.
enum class FaceReading { kKeep, kMarkPlaces };

// The lines of a run: its vertices, faces (when they are kept) and object marks in listing order,
// and why it stopped.
struct MeshRun {
    GroundPoints vertices;
    // The extent of all of them, taken as they are read: where every vertex is used, as in a grid,
    // that is the used ones' too, and a pass over them after the reading (3% of a large grid's whole
    // conversion) is saved.
    PointsExtent extent;
    BlockList<MeshFace> faces;
    std::uint64_t faceLines = 0;
    // The layouts of the last vertex and face lines read in the usual form.
    VertexLayout vertexLayout;
    FaceLayout faceLayout;
    BlockList<ObjectMark> marks;
    std::string names;  // the named objects' names, one after another
    // Where faces are not kept, the places they use: those before the first mark, then those after
    // each mark that makes a mesh, in order (the faces after a named object's mark belong to no mesh).
    UsedPlaces places;
    // Where faces are not kept: some face may name a vertex its object does not list, which only
    // the faces kept can tell.
    bool doubtfulFace = false;
    std::optional<StrayFace> strayFace;
    bool outOfMemory = false;
    std::optional<std::string> failure;  // why the lines ended early, if they did
};

// Reads runs of a mesh listing that holds `sourceBytes` bytes, with `up` pointing up.
class MeshLines {
  public:
    using Run = MeshRun;

    MeshLines(std::uint64_t sourceBytes, UpAxis up, FaceReading faces)
        : sourceBytes_(sourceBytes), up_(up), faces_(faces) {}

    RunEnd Read(LineSource& lines, MeshRun& run, std::int64_t mostLines) const;
    RunEnd Join(MeshRun& first, MeshRun&& next) const;
    std::uint64_t EndOfLines(const MeshRun&, std::uint64_t, double) const { return sourceBytes_; }
    bool ReadsAlone(const MeshRun&) const { return false; }

    // What one line adds to `run`; false when there was no memory for it.
    bool TakeLine(std::string_view line, MeshRun& run) const;

  private:
    // TakeLine, in the loop over a run's lines: a call for each line costs a tenth of the reading of
    // a large grid.
    bool Take(std::string_view line, MeshRun& run) const;
    bool TakeFace(const char* p, const char* end, MeshRun& run) const;
    // Marks a face whose corners the run's places do not hold yet, growing them; or, where a corner lies past
    // any vertex its object can have, notes the face as doubtful instead. False when there was no
    // memory for them.
    bool MarkBeyond(MeshFace face, MeshRun& run) const;
    // Notes where an object starts, `name` being a named object's name, or becomes a mesh; false
    // when there was no memory for it.
    bool Mark(ObjectMark::Kind kind, std::string_view name, MeshRun& run) const;

    std::uint64_t sourceBytes_;
    UpAxis up_;
    FaceReading faces_;
};

}  // namespace tessiloom
