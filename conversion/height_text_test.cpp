#include "conversion/height_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "conversion/val.h"

namespace tessiloom {
namespace {

// The word-at-a-time reading must agree with Val on every text, whatever the bytes after it.
TEST(ReadHeightText, AgreesWithValWhateverFollows) {
    const std::string pieces[] = {"0",  "7", "12", "420", "1234567", "12345678", "123456789",
                                  ".",  "-", "+",  "e",   "E5",      "d-2",      " ",
                                  "\t", "x", "U:", ",",   "&H",      "00",       "9999999"};
    std::mt19937 random(20261206);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
        const std::string followers[] = {"\r\n0000000", "99999999", std::string(8, '\0'), ".5e5 123"};
        for (const std::string& follower : followers) {
            const std::string buffer = text + follower;
            const std::string_view view(buffer.data(), text.size());
            const double expected = Val(text);
            const double actual = ReadHeightText(view);
            EXPECT_TRUE(expected == actual && std::signbit(expected) == std::signbit(actual))
                << "'" << text << "': " << actual << " instead of " << expected;
        }
    }
}

}  // namespace
}  // namespace tessiloom
