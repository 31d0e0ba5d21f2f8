#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "Gerber/Gerber.h"

namespace {

using Gerber::CoordinateFormat;

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
        ASSERT_TRUE(Gerber::ReadFormat(r.Text, Got)) << r.Text;
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
        EXPECT_FALSE(Gerber::ReadFormat(Text, Format)) << Text;
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
        EXPECT_EQ(Gerber::RestoreTrailingZeros(r.Value, r.Digits, r.Width), r.Restored)
            << r.Value << " " << r.Digits << " " << r.Width;
    }
    // Beyond 32 bits a result needs only to stay beyond them, with its sign,
    // however many digits are due.
    for (auto [Value, Digits] :
         {std::pair<std::int64_t, unsigned>{5, 1}, {-5, 1}, {214748365, 9}, {-214748365, 9}}) {
        for (unsigned Width : {10U, 12U, 99U, 4000000000U}) {
            std::int64_t Got = Gerber::RestoreTrailingZeros(Value, Digits, Width);
            EXPECT_GT(Value > 0 ? Got : -Got, 2147483647) << Value << " " << Width;
        }
    }
}

}  // namespace

namespace {

using Gerber::Unit;

// The pair that gives thousandths of an inch, for each unit and count of
// decimals, and a neighbour that must not agree.
TEST(Units, AdviceNamesThePairThatAgrees) {
    struct Row {
        Unit Of;
        unsigned Decimals;
        std::int32_t Mult;
        std::int32_t Div;
        const char* Advice;
    };
    for (const Row& r : {
             Row{Unit::Inch, 0, 1000, 1, "units of 1 in: use multiplier 1000 and divisor 1 "},
             Row{Unit::Inch, 3, 1, 1, "units of 0.001 in: use multiplier 1 and divisor 1 "},
             Row{Unit::Inch, 4, 1, 10, "units of 0.0001 in: use multiplier 1 and divisor 10 "},
             Row{Unit::Inch, 6, 1, 1000,
                 "units of 0.000001 in: use multiplier 1 and divisor 1000 "},
             Row{Unit::Millimetre, 3, 1000, 25400,
                 "units of 0.001 mm: use multiplier 1000 and divisor 25400 "},
             Row{Unit::Millimetre, 4, 100, 25400,
                 "units of 0.0001 mm: use multiplier 100 and divisor 25400 "},
             Row{Unit::Millimetre, 6, 1, 25400,
                 "units of 0.000001 mm: use multiplier 1 and divisor 25400 "},
             Row{Unit::Millimetre, 8, 1, 2540000,
                 "units of 0.00000001 mm: use multiplier 1 and divisor 2540000 "},
         }) {
        EXPECT_EQ(Gerber::UnitsAdvice(r.Of, r.Decimals),
                  "Coordinates are in " + std::string(r.Advice) + "for thousandths of an inch.");
        EXPECT_TRUE(Gerber::UnitsAgree(r.Mult, r.Div, r.Of, r.Decimals)) << r.Advice;
        EXPECT_TRUE(Gerber::UnitsAgree(-r.Mult, r.Div, r.Of, r.Decimals)) << "mirrored";
        EXPECT_TRUE(Gerber::UnitsAgree(r.Mult * 2, r.Div * 2, r.Of, r.Decimals)) << "scaled";
        EXPECT_FALSE(Gerber::UnitsAgree(r.Mult, r.Div + 1, r.Of, r.Decimals)) << r.Advice;
        EXPECT_FALSE(Gerber::UnitsAgree(r.Mult, r.Div, Unit::Unknown, r.Decimals));
    }
    EXPECT_FALSE(Gerber::UnitsAgree(2147483647, 1, Unit::Millimetre, 9));  // no overflow
    std::int32_t Mult = 0;
    std::int32_t Div = 0;
    EXPECT_TRUE(Gerber::UnitsPair(Unit::Millimetre, 3, Mult, Div));  // smallest terms
    EXPECT_EQ(std::pair(Mult, Div), std::pair(5, 127));
    EXPECT_FALSE(Gerber::UnitsPair(Unit::Unknown, 3, Mult, Div));
    EXPECT_EQ(Gerber::ReadUnit("MOIN"), Unit::Inch);
    EXPECT_EQ(Gerber::ReadUnit("MOMM"), Unit::Millimetre);
    EXPECT_EQ(Gerber::ReadUnit("MOCM"), Unit::Unknown);
}

TEST(ImageParameters, IdentityChangeOrNotInForm) {
    using Gerber::ImageRequest;
    struct Row {
        std::string_view Text;
        ImageRequest Request;
    };
    for (const Row& r : {
             Row{"OFA0B0", ImageRequest::Identity},
             Row{"OFA-0.000B+.0", ImageRequest::Identity},
             Row{"OF", ImageRequest::Identity},
             Row{"OFB0.001", ImageRequest::Change},
             Row{"SFA1.000B01", ImageRequest::Identity},
             Row{"SFA-1", ImageRequest::Change},
             Row{"MIA0B0", ImageRequest::Identity},
             Row{"MIB1", ImageRequest::Change},
             Row{"IR0", ImageRequest::Identity},
             Row{"IR270", ImageRequest::Change},
             Row{"ASAXBY", ImageRequest::Identity},
             Row{"ASAYBX", ImageRequest::Change},
             Row{"OFA1.5B", ImageRequest::Malformed},
             Row{"OFB0A0", ImageRequest::Malformed},
             Row{"IR", ImageRequest::Malformed},
             Row{"ASAXBX", ImageRequest::Malformed},
             Row{"LPC", ImageRequest::Malformed},
             Row{"O", ImageRequest::Malformed},
         }) {
        EXPECT_EQ(Gerber::ReadImageParameter(r.Text), r.Request) << r.Text;
    }
}

TEST(StepRepeat, CountsAreOneWhereAbsent) {
    struct Row {
        std::string_view Text;
        bool InForm;
        std::int64_t X;
        std::int64_t Y;
    };
    for (const Row& r :
         {Row{"SR", true, 1, 1}, Row{"SRX4Y4I11.3J15.3", true, 4, 4}, Row{"SRY2I0J1.5", true, 1, 2},
          Row{"SRX3", true, 3, 1}, Row{"SRX999999999Y1", true, 999999999, 1},
          Row{"SRX1234567890", false, 0, 0}, Row{"SRXY2", false, 0, 0}, Row{"SRY2X3", false, 0, 0},
          Row{"SRX2I", false, 0, 0}}) {
        std::int64_t X = 0;
        std::int64_t Y = 0;
        EXPECT_EQ(Gerber::ReadStepRepeat(r.Text, X, Y), r.InForm) << r.Text;
        if (r.InForm) {
            EXPECT_EQ(X, r.X) << r.Text;
            EXPECT_EQ(Y, r.Y) << r.Text;
        }
    }
}

}  // namespace
