// The C library's route for the scene's numbers (the page's) against <charconv> (the desktop's):
// the same text for every value, the same value or refusal for every text.
#include "decimal.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>

namespace {

TEST(SceneNumbers, ShortestTextIsTheSameBothWays) {
    std::mt19937_64 random(2026);
    for (int i = 0; i < 20000; ++i) {
        // Any bit pattern, and values spread over the scene's ranges.
        const double any = std::bit_cast<double>(random());
        const double near = std::ldexp(static_cast<double>(random() >> 11), -50 - (i % 40));
        for (double value : {any, near, -near}) {
            if (!std::isfinite(value)) continue;
            ASSERT_EQ(explore::shortest_text_c(value), explore::shortest_text(value)) << value;
            const float single = static_cast<float>(value);
            if (std::isfinite(single)) {
                ASSERT_EQ(explore::shortest_text_c(single), explore::shortest_text(single))
                    << single;
            }
        }
    }
    for (double value : {0.0, -0.0, 1e22, 1e21, 123456789012345680.0, 0.0001, 0.001, 1e-5, 2400.0,
                         6.283185307179586})
        EXPECT_EQ(explore::shortest_text_c(value), explore::shortest_text(value)) << value;
}

TEST(SceneNumbers, ReadingAgreesOnValuesAndRefusals) {
    for (const char* text : {"0.9",
                             "-10",
                             "1e-3",
                             "1E+2",
                             ".5",
                             "5.",
                             "6.283185307179586",
                             "0.30000000000000004",
                             "+1",
                             " 1",
                             "1 ",
                             "1e",
                             "1e+",
                             ".",
                             "-",
                             "",
                             "0x10",
                             "inf",
                             "nan",
                             "1e400",
                             "--1",
                             "1.2.3",
                             "3.4028236e38",
                             "1,5"}) {
        EXPECT_EQ(explore::read_double_c(text), explore::read_double(text)) << text;
        EXPECT_EQ(explore::read_float_c(text), explore::read_float(text)) << text;
    }
}

} // namespace
