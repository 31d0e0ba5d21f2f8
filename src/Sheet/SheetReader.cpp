#include <string>

#include "FileIO/FileIO.h"
#include "Parser/Parser.h"
#include "Sheet/Sheet.h"
#include "Sheet/TypicalSheet.h"

namespace Sheet {

namespace {

constexpr PadShape kShapes[] = {PadShape::kRound, PadShape::kRect, PadShape::kOblong,
                                PadShape::kOctagon};
// How much of a wrong word an error shows: a word may be as long as the file.
constexpr std::size_t kShownLetters = 32;

// Where a sheet's reading stands; an error is kept in Line and Message.
struct Reading {
    CodeSheet& Out;
    std::int32_t& Line;
    std::string& Message;
};

bool Fail(Reading& R, std::string Text) {
    R.Line = Parser::LineNo;
    R.Message = std::move(Text);
    return false;
}

std::string Shown(const std::string& Word) {
    return Word.size() <= kShownLetters ? Word : Word.substr(0, kShownLetters) + "...";
}

// One integer from Min to Max; What names it where it is missing. A word in
// its place starts the next entry: that is a missing number too.
bool ReadNumber(Reading& R, std::int32_t Min, std::int32_t Max, std::string_view What,
                std::int32_t& Value) {
    Parser::Status s = Parser::ScanToken();
    if (s == Parser::kEndOfInput || s == Parser::kName) {
        return Fail(R, "Missing " + std::string(What) + ".");
    }
    if (s != Parser::kNumber) {
        return Fail(R, "Integer number expected.");
    }
    if (Parser::NumValue < Min || Parser::NumValue > Max) {
        return Fail(R, "Range exceeded (" + std::to_string(Min) + " to " + std::to_string(Max) +
                           " allowed).");
    }
    Value = static_cast<std::int32_t>(Parser::NumValue);
    return true;
}

bool ReadWidth(Reading& R) {
    std::int32_t Code = 0;
    if (!ReadNumber(R, 0, kWidthCodes - 1, "width code", Code)) {
        return false;
    }
    if (R.Out.Width[Code] != 0) {
        return Fail(R, "Width code " + std::to_string(Code) + " given twice.");
    }
    return ReadNumber(R, kMinSize, kMaxSize, "line width", R.Out.Width[Code]);
}

bool ReadPad(Reading& R) {
    std::int32_t Code = 0;
    if (!ReadNumber(R, 0, kPatternCodes - 1, "pattern code", Code)) {
        return false;
    }
    Pad& P = R.Out.Pads[Code];
    if (P.Listed) {
        return Fail(R, "Pattern code " + std::to_string(Code) + " given twice.");
    }
    Parser::Status s = Parser::ScanToken();
    bool Known = false;
    for (PadShape Shape : kShapes) {
        if (s == Parser::kName && Parser::TextValue == ShapeName(Shape)) {
            P.Shape = Shape;
            Known = true;
        }
    }
    if (!Known) {
        return Fail(R, s == Parser::kName
                           ? "Unknown pad shape (" + Shown(Parser::TextValue) +
                                 "): round, rect, oblong or octagon expected."
                           : std::string("Missing pad shape (round, rect, oblong or octagon)."));
    }
    if (P.Shape == PadShape::kRound || P.Shape == PadShape::kOctagon) {
        if (!ReadNumber(R, kMinSize, kMaxSize, "pad size", P.X)) {
            return false;
        }
        P.Y = P.X;
    } else if (!ReadNumber(R, kMinSize, kMaxSize, "pad width", P.X) ||
               !ReadNumber(R, kMinSize, kMaxSize, "pad height", P.Y)) {
        return false;
    }
    P.Listed = true;
    return true;
}

// The entries to the end of the input; false at the first error.
bool ReadEntries(Reading& R) {
    for (;;) {
        Parser::Status s = Parser::ScanToken();
        if (s == Parser::kEndOfInput) {
            return true;
        }
        if (s != Parser::kName) {
            return Fail(R, "Word width or pad expected.");
        }
        if (Parser::TextValue == "width") {
            if (!ReadWidth(R)) {
                return false;
            }
        } else if (Parser::TextValue == "pad") {
            if (!ReadPad(R)) {
                return false;
            }
        } else {
            return Fail(R,
                        "Unknown word (" + Shown(Parser::TextValue) + "): width or pad expected.");
        }
    }
}

// Reads the input just opened. A failed read ends the input early, so the
// latch is looked at before a sheet is called bad.
Status ReadOpened(CodeSheet& Out, std::int32_t& Line, std::string& Message) {
    Out = CodeSheet{};
    Line = 0;
    Message.clear();
    if (FileIO::IOError()) {
        Parser::CloseInput();
        return Status::kIOFailed;
    }
    Reading R{Out, Line, Message};
    bool Good = ReadEntries(R);
    Parser::CloseInput();
    if (FileIO::IOError()) {
        return Status::kIOFailed;
    }
    return Good ? Status::kOk : Status::kBadSheet;
}

}  // namespace

Status ReadSheet(const std::string& Name, CodeSheet& Out, std::int32_t& Line,
                 std::string& Message) {
    Parser::OpenInput(Name);
    return ReadOpened(Out, Line, Message);
}

Status ReadTypicalSheet(CodeSheet& Out, std::int32_t& Line, std::string& Message) {
    Parser::OpenText({kTypicalSheetBytes, kTypicalSheetSize}, std::string(TypicalSheetName()));
    return ReadOpened(Out, Line, Message);
}

std::string_view TypicalSheetName() {
    return "typical.sheet (built in)";
}

}  // namespace Sheet
