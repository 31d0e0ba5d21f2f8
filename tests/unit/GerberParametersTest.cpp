#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

#include "Dize274/GerberParameters.h"

namespace {

using Dize274::CoordinateFormat;

auto Fields(const CoordinateFormat& f) {
    return std::tuple{f.OmitsTrailingZeros, f.Incremental, f.XInteger,
                      f.XDecimals,          f.YInteger,    f.YDecimals};
}

TEST(ReadFormat, ReadsTheZerosTheNotationAndBothAxes) {
    struct Row {
        std::string_view Text;
        CoordinateFormat Format;
    };
    for (const Row& r :
         {Row{"FSLAX24Y24", {false, false, 2, 4, 2, 4}},
          Row{"FSTAX46Y46", {true, false, 4, 6, 4, 6}},
          Row{"FSDAX33Y33", {false, false, 3, 3, 3, 3}},
          Row{"FSAX34Y25", {false, false, 3, 4, 2, 5}},  // no zero letter: leading
          Row{"FSLIX24Y24", {false, true, 2, 4, 2, 4}}, Row{"FSTIX00Y99", {true, true, 0, 0, 9, 9}},
          Row{"FSLAN2G2D3M2X25Y25", {false, false, 2, 5, 2, 5}},
          Row{"FSTAD2X23Y24", {true, false, 2, 3, 2, 4}},
          Row{"FSLAM02N1X24Y24", {false, false, 2, 4, 2, 4}}}) {
        CoordinateFormat Got{};
        ASSERT_TRUE(Dize274::ReadFormat(r.Text, Got)) << r.Text;
        EXPECT_EQ(Fields(Got), Fields(r.Format)) << r.Text;
    }
}

TEST(ReadFormat, RefusesOtherFormsAndKeepsTheFormat) {
    const CoordinateFormat Before{true, true, 7, 7, 7, 7};
    for (std::string_view Text :
         {"", "FS", "MOIN", "FSLX24Y24", "FSQAX24Y24", "FSLTAX24Y24", "FSLAX2Y24", "FSLAX24",
          "FSLAY24X24", "FSLAX24Y24Z", "FSLAX24Y24 ", "FSLANX24Y24", "FSLAX2AY24", "FSLAX24Y2",
          "fslax24y24", "FSLA X24Y24"}) {
        CoordinateFormat Format = Before;
        EXPECT_FALSE(Dize274::ReadFormat(Text, Format)) << Text;
        EXPECT_EQ(Fields(Format), Fields(Before)) << Text;
    }
}

TEST(RestoreTrailingZeros, ScalesShortNumbersUpToTheWidth) {
    struct Row {
        std::int64_t Value;
        unsigned Digits;
        unsigned Width;
        std::int64_t Restored;
    };
    // Digits counts leading zeros: "007" of four digits due is 0070.
    for (const Row& r : {Row{25, 2, 6, 250000}, Row{-25, 2, 6, -250000}, Row{1, 1, 10, 1000000000},
                         Row{123456, 6, 6, 123456}, Row{-123456, 6, 6, -123456},
                         Row{1234567, 7, 6, 1234567}, Row{0, 1, 6, 0}, Row{7, 3, 4, 70},
                         Row{2147483647, 10, 10, 2147483647}, Row{214748364, 9, 10, 2147483640}}) {
        EXPECT_EQ(Dize274::RestoreTrailingZeros(r.Value, r.Digits, r.Width), r.Restored)
            << r.Value << " " << r.Digits << " " << r.Width;
    }
    // Beyond 32 bits a result needs only to stay beyond them, with its sign,
    // however many digits are due.
    for (auto [Value, Digits] :
         {std::pair<std::int64_t, unsigned>{5, 1}, {-5, 1}, {214748365, 9}, {-214748365, 9}}) {
        for (unsigned Width : {10U, 12U, 99U, 4000000000U}) {
            std::int64_t Got = Dize274::RestoreTrailingZeros(Value, Digits, Width);
            EXPECT_GT(Value > 0 ? Got : -Got, 2147483647) << Value << " " << Width;
        }
    }
}

}  // namespace
