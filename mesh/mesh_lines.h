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
#include "conversion/fetch_ahead.h"
#include "conversion/line_runs.h"
#include "conversion/mesh_heights.h"
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

// A vertex line as a point of the ground and its height; NaN where the line has no such marker.
struct GroundPoint {
    double x = 0;
    double y = 0;
    double height = 0;
};

// An extent of the ground.
struct GroundBox {
    double x0 = 0;
    double x1 = 0;
    double y0 = 0;
    double y1 = 0;
};

// The ground some finite points cover, the lowest X and Y above its lowest (where a lattice's first
// steps lie), and the range of their heights.
struct PointsExtent {
    GroundBox box{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL};
    double nextX = HUGE_VAL;
    double nextY = HUGE_VAL;
    double lowest = HUGE_VAL;
    double highest = -HUGE_VAL;

    void Add(const GroundPoint& point) {
        TakeLow(box.x0, nextX, point.x);
        box.x1 = std::max(box.x1, point.x);
        TakeLow(box.y0, nextY, point.y);
        box.y1 = std::max(box.y1, point.y);
        lowest = std::min(lowest, point.height);
        highest = std::max(highest, point.height);
    }
    void Add(const PointsExtent& other) {
        for (const double x : {other.box.x0, other.nextX}) TakeLow(box.x0, nextX, x);
        for (const double y : {other.box.y0, other.nextY}) TakeLow(box.y0, nextY, y);
        box.x1 = std::max(box.x1, other.box.x1);
        box.y1 = std::max(box.y1, other.box.y1);
        lowest = std::min(lowest, other.lowest);
        highest = std::max(highest, other.highest);
    }

  private:
    // Takes `value` into the lowest, `low`, and the lowest above it, `next`; of equal lowest values,
    // the first.
    static void TakeLow(double& low, double& next, double value) {
        if (value < low) {
            next = low;
            low = value;
        } else if (value > low) {
            next = std::min(next, value);
        }
    }
};

// The vertex lines as points of the ground and their heights, kept apart: the heights of a lattice
// listed in its own order are the image's as they stand, with no copy of its own.
class GroundPoints {
    struct Ground {
        double x;
        double y;
    };

  public:
    std::size_t Size() const { return ground_.Size(); }
    GroundPoint operator[](std::size_t index) const {
        const Ground& at = ground_[index];
        return {at.x, at.y, heights_[index]};
    }
    // Points that lie next to each other in memory.
    class Run {
      public:
        Run(std::span<const Ground> ground, std::span<const double> heights)
            : ground_(ground), heights_(heights) {}
        std::size_t Size() const { return ground_.size(); }
        GroundPoint operator[](std::size_t at) const { return {ground_[at].x, ground_[at].y, heights_[at]}; }
        void FetchAheadOf(std::size_t at, std::size_t count) const {
            FetchAhead(ground_.data() + at, count);
            FetchAhead(heights_.data() + at, count);
        }

      private:
        std::span<const Ground> ground_;
        std::span<const double> heights_;
    };
    // Calls `visit(index, run)` with the runs of the points from `first` up to `end`, in order, `index`
    // being that of the run's first point.
    template <typename Visit>
    [[gnu::always_inline]] void ForEachRunIn(std::size_t first, std::size_t end, Visit&& visit) const {
        for (std::size_t index = first; index < end;) {
            const std::span<const Ground> ground = ground_.RunFrom(index);
            const std::span<const double> heights = heights_.RunFrom(index);
            const std::size_t count = std::min(end - index, std::min(ground.size(), heights.size()));
            visit(index, Run(ground.first(count), heights.first(count)));
            index += count;
        }
    }
    // Calls `visit(index, point)` with each point, in order.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        ForEachRunIn(0, Size(), [&](std::size_t first, const Run& run) {
            for (std::size_t at = 0; at < run.Size(); ++at) visit(first + at, run[at]);
        });
    }
    const HeightList& Heights() const { return heights_; }

    // Looks points up by index, quicker than operator[] where one lies near the last.
    class Lookup {
      public:
        explicit Lookup(const GroundPoints& points) : ground_(points.ground_), heights_(points.heights_) {}
        GroundPoint operator[](std::size_t index) {
            const Ground& at = ground_[index];
            return {at.x, at.y, heights_[index]};
        }

      private:
        BlockList<Ground>::Lookup ground_;
        HeightList::Lookup heights_;
    };

    // The heights, taken out: the points are then gone.
    HeightList TakeHeights() {
        ground_ = {};
        return std::move(heights_);
    }

    // False when there was no memory for it: the points are then of no more use, the ground and
    // the heights not holding as many. A point read from plain numbers is finite; one that may not
    // be goes through AppendAny.
    bool Append(const GroundPoint& point) {
        return ground_.Append({point.x, point.y}) && heights_.Append(point.height);
    }
    bool AppendAny(const GroundPoint& point) {
        allFinite_ =
            allFinite_ && std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.height);
        return Append(point);
    }
    void AppendFrom(GroundPoints&& other) {
        const std::size_t count = other.Size();
        ground_.AppendFrom(std::move(other.ground_), count);
        heights_.AppendFrom(std::move(other.heights_), count);
        allFinite_ = allFinite_ && other.allFinite_;
    }
    // Whether every point is finite: then none needs a look of its own.
    bool AllFinite() const { return allFinite_; }

  private:
    BlockList<Ground> ground_;
    HeightList heights_;
    bool allFinite_ = true;
};

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
    // that is the used ones' too, and a pass over them after the reading (5% of a large grid's whole
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
