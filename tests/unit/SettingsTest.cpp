#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>

#include "Dize274/Scale.h"
#include "Dize274/Settings.h"
#include "Parser/Parser.h"
#include "TestSupport.h"

namespace {

__extension__ typedef __int128 Int128;

using Dize274::ScaleCoordinate;

// Exact (v - o) * m / q, rounded to nearest with halves to even.
std::int64_t Reference(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q) {
    Int128 p = (Int128{v} - o) * m;
    Int128 f = p / q;
    Int128 r = p % q;
    if (r < 0) {  // floor division
        f -= 1;
        r += q;
    }
    if (2 * r > q || (2 * r == q && f % 2 != 0)) {
        f += 1;
    }
    return static_cast<std::int64_t>(f);
}

// The same through the extended floating type and the processor's rounding.
std::int64_t ExtendedReference(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q) {
    long double d = static_cast<long double>(std::int64_t{v} - o);
    return static_cast<std::int64_t>(std::nearbyint(d * m / q));
}

class Settings : public TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        Saved = {Dize274::XMult, Dize274::XDiv,  Dize274::XOffs, Dize274::YMult,
                 Dize274::YDiv,  Dize274::YOffs, Dize274::Layer};
    }
    void TearDown() override {
        Dize274::XMult = Saved[0];
        Dize274::XDiv = Saved[1];
        Dize274::XOffs = Saved[2];
        Dize274::YMult = Saved[3];
        Dize274::YDiv = Saved[4];
        Dize274::YOffs = Saved[5];
        Dize274::Layer = Saved[6];
        Dize274::InitPatternTable();
        TempDirTest::TearDown();
    }
    static void SetX(std::int32_t m, std::int32_t q, std::int32_t o) {
        Dize274::XMult = m;
        Dize274::XDiv = q;
        Dize274::XOffs = o;
    }

   private:
    std::array<std::int32_t, 7> Saved{};
};

TEST_F(Settings, PatternTableDefaultsReplaceEveryEntry) {
    for (int d = Dize274::kFirstAperture; d <= Dize274::kLastAperture; ++d) {
        Dize274::LineWidth[d] = 999;
        Dize274::PadPattern[d] = 999;
    }
    Dize274::InitPatternTable();
    for (int d = Dize274::kFirstAperture; d <= Dize274::kLastAperture; ++d) {
        EXPECT_EQ(Dize274::LineWidth[d], d <= 25 ? d - 10 : -1) << "D" << d;
        EXPECT_EQ(Dize274::PadPattern[d], d <= 73 ? d - 10 : -1) << "D" << d;
    }
    EXPECT_EQ(Dize274::LineWidth[25], 15);
    EXPECT_EQ(Dize274::LineWidth[26], -1);
    EXPECT_EQ(Dize274::PadPattern[73], 63);
    EXPECT_EQ(Dize274::PadPattern[74], -1);
}

TEST_F(Settings, DefaultTransformationExamples) {
    // The defaults hold from the start; another test may not have left them changed.
    EXPECT_EQ(Dize274::XMult, 1000);
    EXPECT_EQ(Dize274::XDiv, 25400);
    EXPECT_EQ(Dize274::XOffs, 10000);
    EXPECT_EQ(Dize274::Layer, 10);
    struct Row {
        std::int32_t In;
        std::int32_t Out;
    };
    for (const Row& r : {Row{10000, 0}, Row{35400, 1000}, Row{10012, 0}, Row{10127, 5},
                         Row{10140, 6}, Row{0, -394}, Row{-15400, -1000}}) {
        EXPECT_EQ(Dize274::TransformX(r.In), r.Out) << r.In;
        EXPECT_EQ(Dize274::TransformY(r.In), r.Out) << r.In;
    }
}

TEST(ScaleCoordinate, ExactHalvesGoToTheEvenNeighbour) {
    struct Row {
        std::int32_t v, o, m, q;
        std::int64_t Out;
    };
    for (const Row& r : {
             Row{5, 0, 1, 2, 2}, Row{7, 0, 1, 2, 4}, Row{-5, 0, 1, 2, -2}, Row{-7, 0, 1, 2, -4},
             Row{1, 0, 1, 2, 0}, Row{3, 0, 1, 2, 2}, Row{-1, 0, 1, 2, 0}, Row{-3, 0, 1, 2, -2},
             Row{25, 0, 1, 10, 2}, Row{35, 0, 1, 10, 4}, Row{-25, 0, 1, 10, -2},
             Row{-35, 0, 1, 10, -4}, Row{1, 0, 5, 2, 2}, Row{1, 0, -7, 2, -4}, Row{26, 0, 1, 10, 3},
             Row{-24, 0, 1, 10, -2}, Row{12, 2, 1, 4, 2},  // 2.5 from 10/4
         }) {
        EXPECT_EQ(ScaleCoordinate(r.v, r.o, r.m, r.q), r.Out)
            << r.v << " " << r.o << " " << r.m << " " << r.q;
    }
}

TEST_F(Settings, NegativeMultiplierMirrorsOnlyItsOwnAxis) {
    SetX(-1, 1, 0);
    Dize274::YMult = 3;
    Dize274::YDiv = 1;
    Dize274::YOffs = 1;
    EXPECT_EQ(Dize274::TransformX(5), -5);
    EXPECT_EQ(Dize274::TransformX(-5), 5);
    EXPECT_EQ(Dize274::TransformY(5), 12);
}

TEST(ScaleCoordinate, ExtremesAreExact) {
    const std::int32_t Max = 2147483647;
    const std::int32_t Min = -2147483647 - 1;
    struct Row {
        std::int32_t v, o, m, q;
    };
    for (const Row& r : {Row{Max, -Max, Max, 1}, Row{Max, Min, Min, 1}, Row{Min, Max, Min, 1},
                         Row{Min, Max, Max, 1}, Row{Max, Min, Max, Max}, Row{Min, Max, Max, 2},
                         Row{Max, Min, Min, 3}, Row{Max, -Max, Max, Max - 1}, Row{Min, 0, 1, 1},
                         Row{0, Min, Min, Max}}) {
        EXPECT_EQ(ScaleCoordinate(r.v, r.o, r.m, r.q), Reference(r.v, r.o, r.m, r.q))
            << r.v << " " << r.o << " " << r.m << " " << r.q;
    }
    EXPECT_EQ(ScaleCoordinate(Max, -Max, Max, 1), INT64_C(9223372028264841218));
}

TEST(ScaleCoordinate, AgreesWithExactAndExtendedReferences) {
    std::mt19937_64 Rng(25400);
    const std::int32_t Edges[] = {0,          1,          -1,         2,           -2,
                                  10000,      25400,      2147483647, -2147483647, -2147483647 - 1,
                                  1073741824, -1073741824};
    auto Pick = [&]() -> std::int32_t {
        switch (Rng() % 4) {
            case 0:
                return Edges[Rng() % std::size(Edges)];
            case 1:
                return static_cast<std::int32_t>(Rng() % 2001) - 1000;
            default:
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(Rng()));
        }
    };
    for (int i = 0; i < 200000; ++i) {
        std::int32_t v = Pick(), o = Pick(), m = Pick(), q = Pick();
        if (q <= 0) {
            q = q == 0 || q == -2147483647 - 1 ? 1 : -q;
        }
        if (i % 3 == 0) {
            q = static_cast<std::int32_t>(Rng() % 8) + 1;  // small divisors make exact halves
        }
        std::int64_t Want = Reference(v, o, m, q);
        ASSERT_EQ(ScaleCoordinate(v, o, m, q), Want) << v << " " << o << " " << m << " " << q;
        if (Want >= INT32_MIN && Want <= INT32_MAX) {
            ASSERT_EQ(ExtendedReference(v, o, m, q), Want) << v << " " << o << " " << m << " " << q;
        }
    }
}

TEST_F(Settings, TransformReportsResultsBeyond32Bits) {
    WriteBytes("in.gbr", "X1Y1D02*\r\n");
    Parser::OpenInput("in.gbr");
    (void)Parser::PeekChar();  // line 1 is now the current line
    const char* kOut =
        "Line 1 - ERROR: Coordinate out of range after transformation.\r\n"
        "Fatal error - program halted.\r\n";

    SetX(1, 1, 0);
    EXPECT_EQ(Dize274::TransformX(2147483647), 2147483647);
    EXPECT_EQ(Dize274::TransformX(-2147483647 - 1), -2147483647 - 1);
    SetX(1, 1, -1);
    EXPECT_FATAL(Dize274::TransformX(2147483647), kOut);
    SetX(1, 1, 1);
    EXPECT_FATAL(Dize274::TransformX(-2147483647 - 1), kOut);

    // Rounding decides at the limits: halves go to the even neighbour.
    SetX(1, 2, -2147483646);  // 4294967293 / 2
    EXPECT_EQ(Dize274::TransformX(2147483647), 2147483646);
    SetX(1, 2, -2147483647 - 1);  // 4294967295 / 2 rounds up to 2^31
    EXPECT_FATAL(Dize274::TransformX(2147483647), kOut);
    SetX(1, 2, 2147483647);  // -4294967295 / 2 rounds down to -2^31
    EXPECT_EQ(Dize274::TransformX(-2147483647 - 1), -2147483647 - 1);
    SetX(641, 2, 0);  // 641 * -6700417 = -4294967297, and half of it rounds up to -2^31
    EXPECT_EQ(Dize274::TransformX(-6700417), -2147483647 - 1);

    // The Y axis has its own check.
    Dize274::YMult = 2;
    Dize274::YDiv = 1;
    Dize274::YOffs = 0;
    EXPECT_EQ(Dize274::TransformY(1073741823), 2147483646);
    EXPECT_FATAL(Dize274::TransformY(1073741824), kOut);
    EXPECT_EQ(Dize274::TransformY(-1073741824), -2147483647 - 1);
    EXPECT_FATAL(Dize274::TransformY(-1073741825), kOut);
}

}  // namespace
