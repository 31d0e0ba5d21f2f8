// The Gerber format's parameters in one home: the coordinate format and unit,
// the parameter blocks that carry them, the image parameters, the apertures
// and their macros. Plain functions of a parameter's text, for every program
// of the package that reads a Gerber file; none of them ends a run.
#ifndef LUMARIND_GERBER_GERBER_H
#define LUMARIND_GERBER_GERBER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Gerber {

// ---- Parameter blocks

/// The longest parameter the converter reads; longer ones (aperture macros,
/// attributes) are none that it needs.
inline constexpr std::size_t kMaxParameterText = 80;

/// Called at the "*" of each parameter of a block, with the Parser's line
/// number still that of the "*": its text ("FSLAX24Y24", its letters first,
/// line ends left out), whether it is the block's first, and whether it was
/// longer than the reader's limit (then Text holds only its first MaxText
/// characters).
using ParameterTaker = void (*)(std::string_view Text, bool FirstOfBlock, bool Cut);

/// Reads the rest of a parameter block from the Parser's input, after its
/// opening "%", up to and including the closing "%", and hands each parameter
/// to Take. A parameter not ended by "*" before the "%" is dropped. False when
/// the input ends inside the block (the caller reports it its own way).
bool ReadParameterBlock(std::size_t MaxText, ParameterTaker Take);

// ---- Coordinate format and unit

/// How the file writes its coordinate numbers (its FS parameter).
struct CoordinateFormat {
    bool OmitsTrailingZeros;  ///< T: the numbers are cut after their last significant digit
    bool Incremental;         ///< I: each point relative to the last
    std::uint8_t XInteger;    ///< digits before and after the decimal point, X and I
    std::uint8_t XDecimals;
    std::uint8_t YInteger;  ///< the same for Y and J
    std::uint8_t YDecimals;
};

/// Reads an FS parameter: "FS", the zeros left out (L leading, T trailing, D
/// none; L when absent), A or I, the N, G, D and M fields some older writers
/// give, then X and Y with two digits each. False, with Format unchanged,
/// when Text does not have that form.
bool ReadFormat(std::string_view Text, CoordinateFormat& Format);

/// The value a coordinate number of Digits digits stands for where trailing
/// zeros are left out and Width digits are due: Value times 10 to the power
/// of the digits missing. A result beyond 32 bits stays beyond them (not
/// exactly), so that a range check refuses it.
std::int64_t RestoreTrailingZeros(std::int64_t Value, unsigned Digits, unsigned Width);

/// The unit of the file's coordinates, from MO (or G70, G71).
enum class Unit : std::uint8_t { Unknown, Inch, Millimetre };

/// Reads an MO parameter, "MOIN" or "MOMM"; Unknown for any other text.
Unit ReadUnit(std::string_view Text);

/// The pair (Mult, Div), smallest terms, that turns coordinates of Decimals
/// decimals of the unit Of into thousandths of an inch; false for
/// Unit::Unknown. The one rule UnitsAgree and UnitsAdvice use.
bool UnitsPair(Unit Of, unsigned Decimals, std::int32_t& Mult, std::int32_t& Div);

/// Whether an axis's transform (Mult, Div) is that pair, or a multiple of it,
/// or the mirror of one: |Mult| / Div equals the pair's ratio exactly.
bool UnitsAgree(std::int32_t Mult, std::int32_t Div, Unit Of, unsigned Decimals);

/// What to say when they do not: "Coordinates are in units of 0.0001 in: use
/// multiplier 1 and divisor 10 for thousandths of an inch." For millimetres
/// the pair is scaled so that its divisor shows 25.4 ("1000 and 25400").
std::string UnitsAdvice(Unit Of, unsigned Decimals);

// ---- Image parameters

/// Reads SR's repeat counts (1 where a count is absent); false when Text does
/// not have SR's form: "SR", then X and Y counts, I and J steps, each optional.
bool ReadStepRepeat(std::string_view Text, std::int64_t& XCount, std::int64_t& YCount);

/// What an image parameter (OF, SF, MI, IR, AS) asks of the image.
enum class ImageRequest : std::uint8_t {
    Identity,   ///< nothing: offsets and rotation 0, scales 1, no mirror, A to X
    Change,     ///< something the layout does not get
    Malformed,  ///< not in the parameter's form, or not an image parameter
};
ImageRequest ReadImageParameter(std::string_view Text);

// ---- Apertures (AD) and aperture macros (AM)

/// What an aperture draws, as far as a standard shape goes.
enum class Shape : std::uint8_t { kCircle, kRectangle, kObround, kPolygon, kOther };

/// One primitive of a macro, evaluated with an aperture's modifiers: its code
/// (1 circle, 4 outline, 5 polygon, 6 moire, 7 thermal, 20 vector line (2
/// too), 21 centre line, 22 lower-left line), exposure, and its values as the
/// format lists them after the exposure, the rotation always last (0 where the
/// text left it out). An outline's: vertex count n, the n + 1 points, rotation.
struct Primitive {
    std::uint8_t Code = 0;
    bool Dark = true;
    std::vector<double> Values;
};

struct Aperture {
    std::int32_t DCode = 0;
    std::string Template;   ///< "C", "R", "O", "P", or the macro's name
    std::string Modifiers;  ///< as written after the comma: "0.254", "1.2X0.8"
    /// What it draws. A macro's is the standard shape its primitives draw
    /// when they draw one, near enough (rounded corners: a rectangle, or an
    /// obround when rounded nearly to half circles), else kOther.
    Shape Kind = Shape::kOther;
    /// The extent of what it draws (dark parts; clear ones do not extend it),
    /// across X and Y, in the file's unit, and its lower left corner relative
    /// to the flash point (a macro's need not be centred on it).
    double Width = 0;
    double Height = 0;
    double Left = 0;
    double Bottom = 0;
    /// What a draw with it strokes: a circle's diameter, a rectangle's or
    /// obround's smaller side, a polygon's outer diameter, a macro's smaller
    /// extent.
    double Stroke = 0;
    int Vertices = 0;     ///< a polygon's (a P template's, or a macro found to draw one)
    double Rotation = 0;  ///< a P template's, in degrees
    double Hole = 0;      ///< a standard template's hole diameter, 0 for none
    std::vector<Primitive> Primitives;  ///< a macro's, evaluated; empty for a standard template
};

/// How a parameter was taken.
enum class Taken : std::uint8_t { kOther, kAperture, kMacro, kMalformed };

/// Every parameter of the file, in order, as ReadParameterBlock hands them
/// on. kAperture: Out holds an AD's aperture (a macro evaluated with its
/// modifiers); kMacro: an AM (or one of its primitives) was stored; kMalformed:
/// Why says what is wrong ("Unknown aperture macro RoundRect2."); kOther: not
/// AD or AM, nothing done. A D code defined again is the caller's to handle.
/// The macros seen so far are module state; they cost their own text's size.
Taken TakeApertureParameter(std::string_view Text, bool FirstOfBlock, Aperture& Out,
                            std::string& Why);

/// Forgets every macro: a new file starts.
void ForgetMacros();

struct Point {
    double X = 0;
    double Y = 0;
};

/// One closed outline, around the flash point, in the file's unit. A dark one
/// adds to the image, a clear one takes away what came before it. A ring or a
/// hole is one outline that goes round the outside, crosses to the inside on
/// a line of no width and goes round it the other way, so that the even-odd
/// and the non-zero rule both fill it right.
struct Contour {
    bool Dark = true;
    std::vector<Point> Points;  ///< the corners in order, the first not repeated at the end
};

/// What a flash of A draws, in the order that counts: a macro's primitives
/// one outline each (a thermal four, a moire one per ring and two for its
/// cross), a standard template's one; arcs as chords off by at most a
/// thousandth of their radius.
std::vector<Contour> FlashGeometry(const Aperture& A);

}  // namespace Gerber

#endif  // LUMARIND_GERBER_GERBER_H
