#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "Gerber/Gerber.h"

namespace {

using Gerber::Shape;
using Gerber::Taken;

// Feeds a macro's block ("AMMAC", then its primitives) and an aperture's,
// as the block reader would.
Taken Define(std::string_view Primitives, std::string_view Modifiers, Gerber::Aperture& a,
             std::string& Why) {
    Gerber::ForgetMacros();
    EXPECT_EQ(Gerber::TakeApertureParameter("AMMAC", true, a, Why), Taken::kMacro);
    for (std::size_t At = 0; At < Primitives.size();) {
        std::size_t End = std::min(Primitives.find('*', At), Primitives.size());
        EXPECT_EQ(Gerber::TakeApertureParameter(Primitives.substr(At, End - At), false, a, Why),
                  Taken::kMacro);
        At = End + 1;
    }
    std::string Ad = "ADD10MAC";
    if (!Modifiers.empty()) {
        Ad += "," + std::string(Modifiers);
    }
    return Gerber::TakeApertureParameter(Ad, true, a, Why);
}

constexpr std::string_view kRoundRect =
    "0 Rectangle with rounded corners*4,1,4,$2,$3,$4,$5,$6,$7,$8,$9,$2,$3,0*1,1,$1+$1,$2,$3*"
    "1,1,$1+$1,$4,$5*1,1,$1+$1,$6,$7*1,1,$1+$1,$8,$9*20,1,$1+$1,$2,$3,$4,$5,0*"
    "20,1,$1+$1,$4,$5,$6,$7,0*20,1,$1+$1,$6,$7,$8,$9,0*20,1,$1+$1,$8,$9,$2,$3,0";

// Every primitive, and real macros. Each row's extent was measured on gerbv's
// 2000 dpi rendering of a file flashing the aperture once beside two marker
// dots, and agrees within a pixel (0.0005 in, 0.0127 mm). Rows marked (*)
// follow the format where gerbv does not: it turns circles and polygons about
// their own centres (the same extent, elsewhere), and reads parentheses and a
// unary minus otherwise.
TEST(Macros, ExtentAndKindOfWhatThePrimitivesDraw) {
    struct Row {
        std::string_view Primitives;
        std::string_view Modifiers;
        Shape Kind;
        double Width, Height, Left, Bottom;
        int Vertices = 0;
    };
    const Row Rows[] = {
        {"1,1,0.5,0.25,0,90", "", Shape::kCircle, 0.5, 0.5, -0.25, 0},  // (*)
        {"20,1,0.1,0,0,0.4,0,0", "", Shape::kRectangle, 0.4, 0.1, 0, -0.05},
        {"20,1,0.1,0,0,0.4,0,30", "", Shape::kOther, 0.396410, 0.286603, -0.025, -0.0433013},
        {"2,1,0.1,0,0,0,0.3,0", "", Shape::kRectangle, 0.1, 0.3, -0.05, 0},
        {"21,1,0.3,0.1,0.2,0,90", "", Shape::kRectangle, 0.1, 0.3, -0.05, 0.05},
        {"22,1,0.3,0.1,-0.1,-0.2,0", "", Shape::kRectangle, 0.3, 0.1, -0.1, -0.2},
        {"4,1,3,0,0,0.4,0,0,0.3,0,0,0", "", Shape::kOther, 0.4, 0.3, 0, 0},
        {"4,1,4,-0.2,-0.1,0.2,-0.1,0.2,0.1,-0.2,0.1,-0.2,-0.1,90", "", Shape::kRectangle, 0.2, 0.4,
         -0.1, -0.2},
        {"5,1,8,0,0,1.08239X$1,22.5", "0.5", Shape::kPolygon, 0.5, 0.5, -0.25, -0.25, 8},
        {"5,1,6,0,0,0.5,0", "", Shape::kPolygon, 0.5, 0.433013, -0.25, -0.216506, 6},
        {"5,1,6,0.1,0,0.5,90", "", Shape::kPolygon, 0.433013, 0.5, -0.216506, -0.15, 6},  // (*)
        {"6,0,0,0.5,0.05,0.05,3,0.01,0.6,0", "", Shape::kOther, 0.6, 0.6, -0.3, -0.3},
        {"7,0,0,0.5,0.3,0.1,0", "", Shape::kOther, 0.489898, 0.489898, -0.244949, -0.244949},
        {"7,0,0,0.5,0.3,0.1,45", "", Shape::kOther, 0.5, 0.5, -0.25, -0.25},
        // A clear hole in a disc; a clear circle beyond a rectangle cuts nothing, extends nothing.
        {"0 comment*1,1,0.5,0,0*1,0,0.2,0,0", "", Shape::kOther, 0.5, 0.5, -0.25, -0.25},
        {"21,1,0.4,0.2,0,0,0*1,0,0.1,0.3,0", "", Shape::kRectangle, 0.4, 0.2, -0.2, -0.1},
        // Variables, assignment, precedence and parentheses.
        {"$3=$1x2-$2/4*1,1,$3,0,0", "0.2X0.4", Shape::kCircle, 0.3, 0.3, -0.15, -0.15},
        {"21,1,$1/$2/2,$1-$2-$2,0,0,0", "0.8X0.2", Shape::kRectangle, 2, 0.4, -1, -0.2},
        {"21,1,$1+$2x2,0.3,0,0,0", "0.1X0.05", Shape::kRectangle, 0.2, 0.3, -0.1, -0.15},
        {"21,1,-(0-$1),($2+0.1)x2,0,0,0", "0.2X0.05", Shape::kRectangle, 0.2, 0.3, -0.1,
         -0.15},  // (*)
        {"1,1,0.5,0,0,30*21,1,0.5,0.4,0,0,0", "", Shape::kOther, 0.5, 0.5, -0.25, -0.25},
        // KiCad's RoundRect, rounded by a quarter of its shorter side and nearly to half circles.
        {kRoundRect, "0.25X0.2625X0.45X-0.2625X0.45X-0.2625X-0.45X0.2625X-0.45X0",
         Shape::kRectangle, 1.025, 1.4, -0.5125, -0.7},
        {kRoundRect, "0.45X-0.5X0.05X-0.5X-0.05X0.5X-0.05X0.5X0.05X0", Shape::kObround, 1.9, 1,
         -0.95, -0.5},
        // EasyEDA's turned rectangle and its rounded one drawn with lines.
        {"21,1,$1,$2,0,0,$3", "0.864X0.8065X-90.0000", Shape::kRectangle, 0.8065, 0.864, -0.40325,
         -0.432},
        {"1,1,$1,$2,$3*1,1,$1,$4,$5*1,1,$1,0-$2,0-$3*1,1,$1,0-$4,0-$5*20,1,$1,$2,$3,$4,$5,0*"
         "20,1,$1,$4,$5,0-$2,0-$3,0*20,1,$1,0-$2,0-$3,0-$4,0-$5,0*20,1,$1,0-$4,0-$5,$2,$3,0*"
         "4,1,4,$2,$3,$4,$5,0-$2,0-$3,0-$4,0-$5,$2,$3,0",
         "0.1016X0.4032X0.432X0.4032X-0.432", Shape::kRectangle, 0.908, 0.9656, -0.454, -0.4828},
        // EAGLE's octagon, in millimetres.
        {"5,1,8,0,0,1.08239X$1,22.5", "1.5", Shape::kPolygon, 1.5, 1.5, -0.75, -0.75, 8},
    };
    for (const Row& r : Rows) {
        Gerber::Aperture a;
        std::string Why;
        ASSERT_EQ(Define(r.Primitives, r.Modifiers, a, Why), Taken::kAperture) << Why;
        EXPECT_EQ(a.Kind, r.Kind) << r.Primitives;
        EXPECT_NEAR(a.Width, r.Width, 1e-5) << r.Primitives;
        EXPECT_NEAR(a.Height, r.Height, 1e-5) << r.Primitives;
        EXPECT_NEAR(a.Left, r.Left, 1e-5) << r.Primitives;
        EXPECT_NEAR(a.Bottom, r.Bottom, 1e-5) << r.Primitives;
        EXPECT_EQ(a.Vertices, r.Vertices) << r.Primitives;
        EXPECT_EQ(a.Stroke, std::min(a.Width, a.Height)) << r.Primitives;
    }
}

}  // namespace

namespace {

// Standard templates, and texts that must be refused with a reason. A row with
// a macro defines it as "A" first; a primitive refused then gives the reason.
TEST(Apertures, StandardTemplatesAndMalformedTexts) {
    struct Row {
        std::string_view Macro;
        std::string_view Text;
        std::string_view Why;
        Shape Kind = Shape::kOther;
        double Width = 0, Height = 0, Stroke = 0, Hole = 0;
        int Vertices = 0;
    };
    const Row Rows[] = {
        {"", "ADD10C,0.254", "", Shape::kCircle, 0.254, 0.254, 0.254},
        {"", "ADD999999999C,.5X0.2", "", Shape::kCircle, 0.5, 0.5, 0.5, 0.2},
        {"", "ADD12R,1.2X0.8", "", Shape::kRectangle, 1.2, 0.8, 0.8},
        {"", "ADD13O,0.8X1.2X0.3", "", Shape::kObround, 0.8, 1.2, 0.8, 0.3},
        {"", "ADD14P,1X6", "", Shape::kPolygon, 1, 0.866025, 1, 0, 6},
        {"", "ADD15P,1X4X45X0.1", "", Shape::kPolygon, 0.707107, 0.707107, 1, 0.1, 4},
        {"", "ADD5C,1", "Aperture D5: D codes of apertures start at 10."},
        {"", "ADC,1", "Aperture definition without a D code."},
        {"", "ADD1234567890C,1", "Aperture definition without a D code."},
        {"", "ADD10", "Aperture D10: template expected."},
        {"", "ADD10C", "Aperture D10: C takes 1 to 2 modifiers, not 0."},
        {"", "ADD10R,1X2X3X4", "Aperture D10: R takes 2 to 3 modifiers, not 4."},
        {"", "ADD10C,-1", "Aperture D10: modifier 1 is negative or beyond 1000000."},
        {"", "ADD10C,99999999", "Aperture D10: modifier 1 is negative or beyond 1000000."},
        {"", "ADD10R,1Xabc", "Aperture D10: modifier 2 is not a decimal number."},
        {"", "ADD10C,1X", "Aperture D10: modifier 2 is not a decimal number."},
        {"", "ADD10C,1e3", "Aperture D10: modifier 1 is not a decimal number."},
        {"", "ADD10C,nan", "Aperture D10: modifier 1 is not a decimal number."},
        {"", "ADD10P,1X13", "Aperture D10: a polygon has 3 to 12 vertices."},
        {"", "ADD10P,1X6.5", "Aperture D10: a polygon has 3 to 12 vertices."},
        {"", "ADD19O,0.3X1X7", "Aperture D19: the hole does not lie inside the aperture."},
        {"", "ADD19C,0.5X0.5", "Aperture D19: the hole does not lie inside the aperture."},
        {"", "ADD19P,1X6X0X0.9", "Aperture D19: the hole does not lie inside the aperture."},
        {"", "ADD10RoundRect2,1", "Unknown aperture macro RoundRect2."},
        {"1,1,$1/$2,0,0", "ADD20A,1X0",
         "Aperture D20: macro A, primitive 1: circle, value 2: a value is not a finite number (a "
         "division by zero?)."},
        {"1,1,0.5", "ADD21A",
         "Aperture D21: macro A, primitive 1: circle takes 4 values (5 with a rotation), not 2."},
        {"1,2,0.5,0,0", "ADD22A",
         "Aperture D22: macro A, primitive 1: circle: exposure 0 or 1 expected."},
        {"0 twelve*5,1,13,0,0,1,0", "ADD23A",
         "Aperture D23: macro A, primitive 2: polygon: 3 to 12 vertices expected."},
        {"4,1,1000000,0,0,0", "ADD24A",
         "Aperture D24: macro A, primitive 1: outline: vertex count 1 or more expected, within "
         "its values."},
        {"7,0,0,0.3,0.5,0.1,0", "ADD25A",
         "Aperture D25: macro A, primitive 1: thermal: the inner diameter must be less than the "
         "outer."},
        {"$0=1", "ADD26A",
         "Aperture D26: macro A, primitive 1: variable $1 to $9999 expected before \"=\"."},
        {"1,1,((((((((((((((((((((((((((((((((((1)))))))))))))))))))))))))))))))))),0,0", "ADD27A",
         "Aperture D27: macro A, primitive 1: circle, value 2: parentheses nested too deeply."},
        {"1,1,$10000,0,0", "ADD28A",
         "Aperture D28: macro A, primitive 1: circle, value 2: variable $1 to $9999 expected."},
        {"1,1,1e5,0,0", "ADD29A",
         "Aperture D29: macro A, primitive 1: circle, value 2: unexpected character (e)."},
        {"1,1,(1,0,0", "ADD30A",
         "Aperture D30: macro A, primitive 1: circle, value 2: \")\" expected."},
        {"1,1,1+,0,0", "ADD31A",
         "Aperture D31: macro A, primitive 1: circle, value 2: a value is missing."},
        {"21,1,-1,1,0,0,0", "ADD32A",
         "Aperture D32: macro A, primitive 1: centre line: a size must not be negative."},
        {"1,1,2000000,0,0", "ADD33A",
         "Aperture D33: macro A, primitive 1: circle, value 2: too large."},
        {"9,1,1", "ADD34A", "Aperture macro A, primitive 1: unknown primitive 9."},
        {",1,1,0,0", "ADD35A", "Aperture macro A, primitive 1: primitive code expected."},
    };
    for (const Row& r : Rows) {
        Gerber::ForgetMacros();
        Gerber::Aperture a;
        std::string Why;
        Taken t = Taken::kOther;
        if (!r.Macro.empty()) {
            EXPECT_EQ(Gerber::TakeApertureParameter("AMA", true, a, Why), Taken::kMacro);
            for (std::size_t At = 0; At < r.Macro.size() && t != Taken::kMalformed;) {
                std::size_t End = std::min(r.Macro.find('*', At), r.Macro.size());
                t = Gerber::TakeApertureParameter(r.Macro.substr(At, End - At), false, a, Why);
                At = End + 1;
            }
        }
        if (t != Taken::kMalformed) {
            t = Gerber::TakeApertureParameter(r.Text, true, a, Why);
        }
        if (!r.Why.empty()) {
            EXPECT_EQ(t, Taken::kMalformed) << r.Text;
            EXPECT_EQ(Why, r.Why) << r.Text;
            continue;
        }
        ASSERT_EQ(t, Taken::kAperture) << r.Text << ": " << Why;
        EXPECT_EQ(a.Kind, r.Kind) << r.Text;
        EXPECT_NEAR(a.Width, r.Width, 1e-6) << r.Text;
        EXPECT_NEAR(a.Height, r.Height, 1e-6) << r.Text;
        EXPECT_EQ(a.Stroke, r.Stroke) << r.Text;
        EXPECT_EQ(a.Hole, r.Hole) << r.Text;
        EXPECT_EQ(a.Vertices, r.Vertices) << r.Text;
    }
    Gerber::Aperture a;
    std::string Why;
    EXPECT_EQ(Gerber::TakeApertureParameter("FSLAX24Y24", true, a, Why), Taken::kOther);
}

// What a flash draws, by its area (the shoelace sum over its outlines, dark
// ones adding, clear ones taking away): holes and rings are cut by the
// outline that goes round them the other way.
TEST(Apertures, FlashGeometryCoversWhatTheApertureDraws) {
    constexpr double kPi = 3.14159265358979;
    struct Row {
        std::string_view Macro;
        std::string_view Text;
        double Area;
    };
    const Row Rows[] = {
        {"", "ADD10C,1X0.4", kPi / 4 * (1 - 0.16)},
        {"", "ADD10R,2X1X0.5", 2 - kPi / 16},
        {"", "ADD10O,2X1", 1 + kPi / 4},
        {"", "ADD10P,1X4", 0.5},
        {"21,1,2,2,0,0,0*1,0,1,0,0", "ADD10A", 4 - kPi / 4},
        // A thermal without gaps is its ring; a moire of two rings and a cross of no width.
        {"7,0,0,1,0.8,0,0", "ADD10A", kPi * (0.25 - 0.16)},
        {"6,0,0,1,0.1,0.1,2,0,0,0", "ADD10A", kPi * (0.25 - 0.16 + 0.09 - 0.04)},
    };
    for (const Row& r : Rows) {
        Gerber::ForgetMacros();
        Gerber::Aperture a;
        std::string Why;
        if (!r.Macro.empty()) {
            (void)Gerber::TakeApertureParameter("AMA", true, a, Why);
            for (std::size_t At = 0; At < r.Macro.size();) {
                std::size_t End = std::min(r.Macro.find('*', At), r.Macro.size());
                (void)Gerber::TakeApertureParameter(r.Macro.substr(At, End - At), false, a, Why);
                At = End + 1;
            }
        }
        ASSERT_EQ(Gerber::TakeApertureParameter(r.Text, true, a, Why), Taken::kAperture) << Why;
        double Area = 0;
        for (const Gerber::Contour& c : Gerber::FlashGeometry(a)) {
            double Twice = 0;
            for (std::size_t i = 0; i < c.Points.size(); ++i) {
                const Gerber::Point& p = c.Points[i];
                const Gerber::Point& q = c.Points[(i + 1) % c.Points.size()];
                Twice += p.X * q.Y - q.X * p.Y;
            }
            Area += (c.Dark ? 0.5 : -0.5) * std::fabs(Twice);
        }
        EXPECT_NEAR(Area, r.Area, r.Area * 2e-3) << r.Text << " " << r.Macro;
    }
}

}  // namespace
