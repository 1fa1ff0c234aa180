#include "mesh/face_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "mesh/mesh_lines.h"

namespace tessiloom {
namespace {

// The face lines of `text` read one after another into one run, each in the layout the last left,
// or (`alone`) each as if it came first: the corners of each, and the first face that named none.
std::string FacesOf(const std::string& text, bool alone) {
    const StringByteSource bytes(text);
    LineSource lines(bytes);
    const MeshLines reader(text.size(), UpAxis::kZ, FaceReading::kKeep);
    MeshRun run;
    std::string_view line;
    while (lines.NextLine(line)) {
        if (alone) run.faceLayout = FaceLayout();
        EXPECT_TRUE(reader.TakeLine(line, run));
    }
    std::string read;
    run.faces.ForEach([&](const MeshFace& face) {
        read += std::to_string(face.a) + " " + std::to_string(face.b) + " " + std::to_string(face.c) + ", ";
    });
    if (run.strayFace) read += "stray " + std::to_string(run.strayFace->face);
    return read;
}

TEST(FaceLayout, ReadsALineOfTheLastOnesLayoutFromTheSamePlaces) {
    const std::string usual = " 10:    A:1234567 B:4 C:56 AB:1 BC:1 CA:0\r\n";
    const char* const line = usual.c_str();
    const char* const corners[3] = {line + usual.find("A:") + 2, line + usual.find("B:") + 2,
                                    line + usual.find("C:") + 2};
    FaceLayout layout;
    layout.Offer(line, line + usual.size() - 2, corners, {7, 1, 2});
    const auto read = [&](std::string text) {
        text += std::string(FaceLayout::kLongest, '\0');  // readable, as a line source's padding is
        MeshFace face;
        if (!layout.Read(text.c_str(), text.c_str() + text.find('\r'), face)) return std::string("other");
        return std::to_string(face.a) + " " + std::to_string(face.b) + " " + std::to_string(face.c);
    };
    EXPECT_EQ(read(" 11:    A:7654321 B:0 C:99 AB:1 BC:1 CA:0\r\n"), "7654321 0 99");
    EXPECT_EQ(read(" 12:    A:765432 B:10 C:99 AB:1 BC:1 CA:0\r\n"), "other");
}

// Only a line that the usual reading would read the same takes the last one's layout: every byte of
// it that is no digit as in the last, and every digit a digit.
TEST(FaceLayout, ReadsEveryLineAsItWouldReadAlone) {
    const std::string usual = "Face 10:    A:1234567 B:4 C:56 AB:1 BC:1 CA:0";
    const std::string next[] = {
        "Face 11:    A:7654321 B:0 C:99 AB:1 BC:1 CA:0",   // the same layout
        "Face 12:    A:765432 B:10 C:99 AB:1 BC:1 CA:0",   // a digit moved
        "Face 13:    A:7654321 B:0 C:9x AB:1 BC:1 CA:0",   // a letter for a digit
        "Face 14:    A:7654321 B:0 C:9. AB:1 BC:1 CA:0",   // a point
        "Face 15:    A:7654321 B:0 D:99 AB:1 BC:1 CA:0",   // no C
        "Face 16:    A:7654321\tB:0 C:99 AB:1 BC:1 CA:0",  // a tab for a blank
        "Face 17:    A:7654321 B:0 C:99 AB:1 BC:1 CA:0 ",  // longer
        "Face 18:    A:7654321 B:0 C:9/ AB:1 BC:1 CA:0",   // just below the digits
        "Face 19:    A:7654321 B:0 C:9: AB:1 BC:1 CA:0",   // just above them
    };
    for (const std::string& line : next) {
        for (const char* end : {"\r\n", "\n"}) {
            const std::string text = usual + "\r\n" + line + end + usual + end;
            EXPECT_EQ(FacesOf(text, false), FacesOf(text, true))
                << line << (end[0] == '\r' ? " CR LF" : " LF");
        }
    }
}

}  // namespace
}  // namespace tessiloom
