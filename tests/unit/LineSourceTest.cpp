#include <filesystem>
#include <random>
#include <vector>

#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"
#include "Parser/ParserInternal.h"
#include "TestSupport.h"

namespace {

constexpr char kCtrlZ = '\x1a';
constexpr std::size_t kReadBuffer = Parser::kReadBufferSize;

struct Stream {
    std::string Chars;       // what GetChar handed out before the first CR
    std::vector<int> Lines;  // LineNo when each of them was handed out
    int LastLineNo = -1;     // LineNo at the end of the input
};

// How a test reads: GetChar alone, or every GetChar preceded by a PeekChar that
// must announce the same character.
enum class Style { Get, Peek };
constexpr Style kAllStyles[] = {Style::Get, Style::Peek};

// Reads Name, or Text in memory when given, to the end of its input.
Stream ReadAll(const std::string& Name, Style How, const std::string* Text = nullptr) {
    if (Text != nullptr) {
        Parser::OpenText(*Text, Name);
    } else {
        Parser::OpenInput(Name);
    }
    Stream s;
    std::size_t PeekMisses = 0;
    for (;;) {
        char Seen = How == Style::Get ? Parser::kCR : Parser::PeekChar();
        char c = Parser::GetChar();
        if (How != Style::Get && c != Seen) {
            ++PeekMisses;
        }
        if (c == Parser::kCR) {
            break;
        }
        s.Chars.push_back(c);
        s.Lines.push_back(Parser::LineNo);
    }
    EXPECT_EQ(PeekMisses, 0u) << "PeekChar announced another character than was taken";
    s.LastLineNo = Parser::LineNo;
    EXPECT_EQ(Parser::ScanStatus, Parser::kEndOfInput);
    return s;
}

// The lines of a file as the text-file rules cut them: CR or LF ends a line,
// a CR takes one LF after it along; Ctrl-Z ends the input wherever it stands.
std::vector<std::string> CutLines(const std::string& b) {
    std::vector<std::string> Lines;
    std::size_t i = 0;
    while (i < b.size() && b[i] != kCtrlZ) {
        std::size_t Start = i;
        while (i < b.size() && b[i] != '\r' && b[i] != '\n' && b[i] != kCtrlZ) {
            ++i;
        }
        Lines.push_back(b.substr(Start, i - Start));
        // A CR takes one LF along; an LF ends its line alone.
        if (i < b.size() && b[i] != kCtrlZ) {
            bool Cr = b[i++] == '\r';
            if (Cr && i < b.size() && b[i] == '\n') {
                ++i;
            }
        }
    }
    return Lines;
}

Stream Expected(const std::string& Bytes) {
    Stream s;
    std::vector<std::string> Lines = CutLines(Bytes);
    for (std::size_t n = 0; n < Lines.size(); ++n) {
        s.Chars += Lines[n];
        s.Lines.insert(s.Lines.end(), Lines[n].size(), static_cast<int>(n + 1));
    }
    s.LastLineNo = static_cast<int>(Lines.size());
    return s;
}

// Checks both reading styles against the cut above; for inputs too big to
// spell out by hand.
void ExpectReadsLikeCut(const std::string& Bytes) {
    WriteBytes("in.gbr", Bytes);
    Stream Want = Expected(Bytes);
    for (int i = 0; i < 4; ++i) {
        Style How = kAllStyles[i % 2];
        Stream Got = ReadAll("in.gbr", How, i < 2 ? nullptr : &Bytes);
        EXPECT_EQ(Got.Chars.size(), Want.Chars.size());
        EXPECT_TRUE(Got.Chars == Want.Chars)
            << "characters differ, style " << static_cast<int>(How);
        EXPECT_TRUE(Got.Lines == Want.Lines)
            << "line numbers differ, style " << static_cast<int>(How);
        EXPECT_EQ(Got.LastLineNo, Want.LastLineNo);
    }
}

using LineSource = TempDirTest;

TEST_F(LineSource, LineEndsCtrlZAndOddBytesReadAsTheyShould) {
    struct Row {
        std::string Bytes;
        std::string Chars;
        std::string Lines;  // the line number of each character, one digit each
        int LastLineNo;
    };
    const std::string Odd("A\0B\t\x7f\xff\033C", 8);  // NUL, tab, DEL, 0xFF, ESC
    for (const Row& r : {
             Row{"AB\rCD", "ABCD", "1122", 2},
             Row{"AB\r\nCD\r\n", "ABCD", "1122", 2},
             Row{"AB\r\r\nCD", "ABCD", "1133", 3},    // CR CR LF: a line and an empty line
             Row{"AB\r\n\r\nCD", "ABCD", "1133", 3},  // an empty line still counts
             Row{"AB\nCD\n", "ABCD", "1122", 2},      // a lone LF ends a line
             Row{"AB\r\n\nCD", "ABCD", "1133", 3},    // only one LF goes with the CR
             Row{"AB\n\rCD", "ABCD", "1133", 3},      // LF CR: two line ends
             Row{"A\n\r\nB", "AB", "13", 3},
             Row{"\n\n\n", "", "", 3},
             Row{"AB", "AB", "11", 1},  // no terminator on the last line
             Row{"\r\nA", "A", "2", 2},
             Row{"A\rB\r", "AB", "12", 2},
             Row{"", "", "", 0},
             Row{"\r\n\r\n\r\n", "", "", 3},
             Row{"\r\r\r", "", "", 3},
             // Ctrl-Z (octal 032) ends the input wherever it stands.
             Row{"AB\032", "AB", "11", 1},
             Row{"AB\032CD\r\nEF", "AB", "11", 1},
             Row{"AB\r\n\032CD", "AB", "11", 1},
             Row{"A\r\032\r\n", "A", "1", 1},
             Row{"\032AB", "", "", 0},
             Row{Odd, Odd, "11111111", 1},
         }) {
        WriteBytes("in.gbr", r.Bytes);
        std::vector<int> Lines;
        for (char d : r.Lines) {
            Lines.push_back(d - '0');
        }
        for (Style How : kAllStyles) {
            Stream s = ReadAll("in.gbr", How);
            EXPECT_EQ(s.Chars, r.Chars) << ::testing::PrintToString(r.Bytes);
            EXPECT_EQ(s.Lines, Lines) << ::testing::PrintToString(r.Bytes);
            EXPECT_EQ(s.LastLineNo, r.LastLineNo) << ::testing::PrintToString(r.Bytes);
        }
    }
}

TEST_F(LineSource, EndOfInputIsStickyAndCtrlZIsNeverConsumed) {
    for (const char* Bytes : {"AB\r\n", "AB\032CD", "AB"}) {
        WriteBytes("in.gbr", Bytes);
        Parser::OpenInput("in.gbr");
        EXPECT_EQ(Parser::GetChar(), 'A');
        EXPECT_EQ(Parser::GetChar(), 'B');
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Parser::PeekChar(), Parser::kCR);
            EXPECT_EQ(Parser::GetChar(), Parser::kCR);
            EXPECT_EQ(Parser::CurChar, Parser::kCR);
            EXPECT_EQ(Parser::ScanStatus, Parser::kEndOfInput);
            EXPECT_EQ(Parser::LineNo, 1);
        }
    }
}

TEST_F(LineSource, NothingReadBeforeTheFirstFetch) {
    WriteBytes("in.gbr", "\r\n\r\nX");
    Parser::OpenInput("in.gbr");
    EXPECT_EQ(Parser::LineNo, 0);
    EXPECT_EQ(Parser::PeekChar(), 'X');
    EXPECT_EQ(Parser::LineNo, 3);
}

TEST_F(LineSource, EveryOpenRestartsLineCountAndForgetsTheOldFile) {
    WriteBytes("a.Cfg", "AAAA\r\nBBBB\r\nCCCC");
    WriteBytes("b.gbr", "XY\r\nZ");
    Parser::OpenInput("a.Cfg");
    EXPECT_EQ(Parser::GetChar(), 'A');
    while (Parser::GetChar() != Parser::kCR) {
    }
    EXPECT_EQ(Parser::LineNo, 3);
    Parser::OpenInput("b.gbr");
    EXPECT_EQ(Parser::LineNo, 0);
    Stream s = ReadAll("b.gbr", Style::Get);
    EXPECT_EQ(s.Chars, "XYZ");

    // Abandoned midway: nothing of the old buffer may leak into the next file.
    Parser::OpenInput("a.Cfg");
    EXPECT_EQ(Parser::GetChar(), 'A');
    EXPECT_EQ(ReadAll("b.gbr", Style::Get).Chars, "XYZ");
    Parser::CloseInput();
}

TEST_F(LineSource, LongLinesAreReadWhole) {
    const std::string L255(255, 'a');
    const std::string L256(256, 'b');
    const std::string Huge(300000, 'c');
    ExpectReadsLikeCut(L255 + "\r\n" + L256 + "\r\nX");
    ExpectReadsLikeCut(L255);
    ExpectReadsLikeCut(Huge + "\nY\n\r" + Huge);  // the long search finds LF too
    ExpectReadsLikeCut(Huge + "\r\nY\r\n" + Huge);
    Stream s = ReadAll("in.gbr", Style::Get);
    ASSERT_EQ(s.Lines.size(), 600001u);
    EXPECT_EQ(s.Lines[299999], 1);
    EXPECT_EQ(s.Lines[300000], 2);
    EXPECT_EQ(s.Lines[300001], 3);
}

TEST_F(LineSource, LineEndSplitAcrossTheReadBufferCountsOnce) {
    // CR as the last byte of the first buffer load, LF as the first of the next.
    std::string Bytes(kReadBuffer - 1, 'a');
    Bytes += "\r\nbc";
    ASSERT_EQ(Bytes[kReadBuffer - 1], '\r');
    ASSERT_EQ(Bytes[kReadBuffer], '\n');
    WriteBytes("in.gbr", Bytes);
    Stream s = ReadAll("in.gbr", Style::Get);
    EXPECT_EQ(s.Chars.size(), kReadBuffer + 1);
    EXPECT_EQ(s.Chars.substr(kReadBuffer - 1), "bc");
    EXPECT_EQ(s.Lines.back(), 2);
    EXPECT_EQ(s.LastLineNo, 2);

    // The same with every terminator straddling or touching the boundary.
    for (std::size_t At : {kReadBuffer - 1, kReadBuffer, 2 * kReadBuffer - 1}) {
        for (const char* End : {"\r\n", "\r\r\n", "\r", "\n", "\n\r", "\032"}) {
            std::string b(At, 'a');
            b += End;
            b += "tail\r\n";
            ExpectReadsLikeCut(b);
        }
    }
}

TEST_F(LineSource, RandomLineEndsAcrossBufferLoads) {
    std::mt19937 Rng(274);
    const char Alphabet[] = {'a', 'b', '\r', '\n', '\0', '\r'};
    for (int Round = 0; Round < 4; ++Round) {
        std::string b(kReadBuffer + Rng() % 2000 - 1000, 'x');
        for (char& c : b) {
            c = Alphabet[Rng() % sizeof Alphabet];
        }
        ExpectReadsLikeCut(b);
    }
}

TEST_F(LineSource, MissingOrUnreadableInputEndsTheRun) {
    std::filesystem::create_directory("sub");
    EXPECT_FATAL(Parser::OpenInput("nope.gbr"),
                 "File nope.gbr not found\r\nFatal error - program halted.\r\n");
    EXPECT_FATAL(Parser::OpenInput("nodir/nope.gbr"),
                 "Path not found\r\nFatal error - program halted.\r\n");
    EXPECT_FATAL(Parser::OpenInput("sub"),
                 "File access denied (Read-only, directory full ?)\r\n"
                 "Fatal error - program halted.\r\n");
    // Unchecked, the error stays for the program, and the input is empty.
    Parser::SetIOCheck(nullptr);
    Parser::OpenInput("nope.gbr");
    EXPECT_EQ(Parser::GetChar(), Parser::kCR);
    EXPECT_EQ(Parser::ScanStatus, Parser::kEndOfInput);
    EXPECT_TRUE(FileIO::IOError());
    FileIO::ClearIOError();
    Parser::SetIOCheck(Dize274::CheckIO);
}

}  // namespace
