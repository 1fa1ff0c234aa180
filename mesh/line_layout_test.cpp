#include "mesh/line_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "conversion/number_text.h"
#include "mesh/test_lines.h"

namespace tessiloom {
namespace {

// The line's text with the terminator and the readable bytes a line source holds after it.
std::string Held(const std::string& line) {
    return line + "\r\n" + std::string(64, '\0');
}

TEST(LineLayout, ReadsALineOfTheLastOnesLayoutFromTheSamePlaces) {
    const std::string usualFace = Held(" 10:    A:1234567 B:4 C:56 AB:1 BC:1 CA:0");
    const char* const line = usualFace.c_str();
    const char* const corners[3] = {line + usualFace.find("A:") + 2, line + usualFace.find("B:") + 2,
                                    line + usualFace.find("C:") + 2};
    FaceLayout faces;
    faces.Take(line, line + usualFace.find('\r'), corners, {7, 1, 2});
    const auto face = [&](const std::string& text) {
        MeshFace read;
        const std::string held = Held(text);
        if (!faces.Read(held.c_str(), held.c_str() + text.size(), read)) return std::string("other");
        return std::to_string(read.a) + " " + std::to_string(read.b) + " " + std::to_string(read.c);
    };
    EXPECT_EQ(face(" 11:    A:7654321 B:0 C:99 AB:1 BC:1 CA:0"), "7654321 0 99");
    EXPECT_EQ(face(" 12:    A:765432 B:10 C:99 AB:1 BC:1 CA:0"), "other");

    // 64 bytes: the last sixteen of them are checked too.
    const std::string usualVertex = Held(" 4198400:  X:-30720.000000     Y:-30720.000000     Z:-528.485017");
    VertexLayout vertices;
    vertices.Take(usualVertex.c_str(), usualVertex.c_str() + usualVertex.find('\r'),
                  {{true, 14, 5, 20, 6}, {true, 34, 5, 40, 6}, {true, 54, 3, 58, 6}});
    const auto vertex = [&](const std::string& text) {
        double read[3];
        const std::string held = Held(text);
        if (!vertices.Read(held.c_str(), held.c_str() + text.size(), read)) return std::string("other");
        return NumberText(read[0]) + " " + NumberText(read[1]) + " " + NumberText(read[2]);
    };
    EXPECT_EQ(vertex(" 1234567:  X:-12345.000001     Y:-00001.500000     Z:-999.999999"),
              "-12345.000001 -1.5 -999.999999");
    EXPECT_EQ(vertex(" 1234567:  X:-12345.000001     Y:-00001.500000     Z:-999.99999 "), "other");
}

// A shape some line had gives way at once to the next line's; one that no line had is dropped, and
// another taken only kPatience lines later: lines whose layout changes at every line pay for few.
TEST(LineShape, GivesWayAtOnceOnlyWhereItWasUsed) {
    const std::string first = Held(" 1:    A:1"), second = Held(" 2:    A:22");
    const auto end = [](const std::string& held) { return held.c_str() + held.find('\r'); };
    LineShape shape;
    EXPECT_TRUE(shape.Wants());  // none was taken yet
    shape.Take(first.c_str(), end(first));
    EXPECT_TRUE(shape.Fits(first.c_str(), end(first)));
    EXPECT_TRUE(shape.Wants());
    shape.Take(second.c_str(), end(second));
    for (unsigned line = 1; line < LineShape::kPatience; ++line) EXPECT_FALSE(shape.Wants()) << line;
    EXPECT_FALSE(shape.Fits(second.c_str(), end(second)));
    EXPECT_TRUE(shape.Wants());
}

// Only a line that the usual reading would read the same takes the last one's layout: every byte of
// it that is no digit as in the last, and every digit a digit.
TEST(LineLayout, ReadsEveryLineAsItWouldReadAlone) {
    const std::string face = "Face 10:    A:1234567 B:4 C:56 AB:1 BC:1 CA:0";
    const std::string vertex =
        "Vertex 10:  X:-30720.000000               Y:30720.5               Z:-528.485017";
    const std::pair<std::string, std::string> cases[] = {
        {face, "Face 11:    A:7654321 B:0 C:99 AB:1 BC:1 CA:0"},   // the same layout
        {face, "Face 12:    A:765432 B:10 C:99 AB:1 BC:1 CA:0"},   // a digit moved
        {face, "Face 13:    A:7654321 B:0 C:9x AB:1 BC:1 CA:0"},   // a letter for a digit
        {face, "Face 14:    A:7654321 B:0 C:9. AB:1 BC:1 CA:0"},   // a point
        {face, "Face 15:    A:7654321 B:0 D:99 AB:1 BC:1 CA:0"},   // no C
        {face, "Face 16:    A:7654321\tB:0 C:99 AB:1 BC:1 CA:0"},  // a tab for a blank
        {face, "Face 17:    A:7654321 B:0 C:99 AB:1 BC:1 CA:0 "},  // longer
        {face, "Face 18:    A:7654321 B:0 C:9/ AB:1 BC:1 CA:0"},   // just below the digits
        {face, "Face 19:    A:7654321 B:0 C:9: AB:1 BC:1 CA:0"},   // just above them
        {vertex,
         "Vertex 11:  X:-12345.678901               Y:99999.0               Z:-999.999999"},  // the same
        {vertex,
         "Vertex 12:  X:-12345.678901               Y:99999.0               Z:-999.99999x"},  // past 64
        {vertex,
         "Vertex 13:  X:-12345.678901               Y:99999,0               Z:-999.999999"},  // a comma
        {vertex,
         "Vertex 14:  X:-12345.678901               Y:-9999.0               Z:-999.999999"},  // a minus
        {vertex,
         "Vertex 15:  X:-12345.678901               Y:99999.0               Z:-999.9999e9"},  // an exponent
        {vertex,
         "Vertex 16:  X:-12345.678901               Y:99999.0               Z:-9999999999"},  // no point
    };
    for (const auto& [usual, line] : cases) {
        for (const char* end : {"\r\n", "\n"}) {
            const std::string text = usual + "\r\n" + line + end + usual + end;
            EXPECT_EQ(LinesReadOneByOne(text, false), LinesReadOneByOne(text, true))
                << line << (end[0] == '\r' ? " CR LF" : " LF");
        }
    }
}

}  // namespace
}  // namespace tessiloom
