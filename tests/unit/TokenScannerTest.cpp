#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

#include "Parser/Parser.h"
#include "TestSupport.h"

namespace {

// One token as "status:payload@line"; the payload is the number, the text or
// the other character, whichever the status promises.
std::string Describe(std::uint8_t s) {
    std::string Payload;
    switch (s) {
        case Parser::kNumber:
            Payload = std::to_string(Parser::NumValue);
            break;
        case Parser::kName:
        case Parser::kPercent:
        case Parser::kOpenPercent:
            Payload = Parser::TextValue;
            break;
        case Parser::kOther:
            Payload = std::string(1, Parser::CurChar);
            break;
        default:
            break;
    }
    return std::to_string(s) + ":" + Payload + "@" + std::to_string(Parser::LineNo);
}

// Every token of Bytes up to and including the first end of input.
std::vector<std::string> Tokens(const std::string& Bytes) {
    WriteBytes("in.txt", Bytes);
    Parser::OpenInput("in.txt");
    std::vector<std::string> Out;
    for (int Guard = 0; Guard < 1000; ++Guard) {
        std::uint8_t s = Parser::ScanToken();
        Out.push_back(Describe(s));
        if (s == Parser::kEndOfInput) {
            break;
        }
    }
    return Out;
}

using V = std::vector<std::string>;
using TokenScanner = TempDirTest;

TEST_F(TokenScanner, BlanksBracesAndCommentsAreSkipped) {
    EXPECT_EQ(Tokens("  -17 }"), (V{"2:-17@1", "4:@1"}));
    EXPECT_EQ(Tokens("\t \t7\t"), (V{"2:7@1", "4:@1"}));
    EXPECT_EQ(Tokens("{ note\r\nword } 5"), (V{"2:5@2", "4:@2"}));
    EXPECT_EQ(Tokens("1{2}3"), (V{"2:1@1", "2:3@1", "4:@1"}));
    EXPECT_EQ(Tokens("{a\r\n\r\n{b\r\n}}x"), (V{"1:x@4", "4:@4"}));
    EXPECT_EQ(Tokens("7 { never closed\r\n8"), (V{"2:7@1", "4:@2"}));
    EXPECT_EQ(Tokens(""), (V{"4:@0"}));
    EXPECT_EQ(Tokens("\r\n \r\n"), (V{"4:@2"}));
}

TEST_F(TokenScanner, LoneSignIsOtherAndConsumed) {
    EXPECT_EQ(Tokens("+ 5"), (V{"0:+@1", "2:5@1", "4:@1"}));
    EXPECT_EQ(Tokens("-x"), (V{"0:-@1", "1:x@1", "4:@1"}));
    EXPECT_EQ(Tokens("--5"), (V{"0:-@1", "2:-5@1", "4:@1"}));
    EXPECT_EQ(Tokens("+\r\n5"), (V{"0:+@1", "2:5@2", "4:@2"}));
}

TEST_F(TokenScanner, NumberStopsAtTheFirstNonDigit) {
    EXPECT_EQ(Tokens("12abc"), (V{"2:12@1", "1:abc@1", "4:@1"}));
    EXPECT_EQ(Tokens("+12-3"), (V{"2:12@1", "2:-3@1", "4:@1"}));
    EXPECT_EQ(Tokens("X500Y-250D01*"), (V{"1:X500Y@1", "2:-250@1", "1:D01@1", "0:*@1", "4:@1"}));
}

TEST_F(TokenScanner, NamesAndOtherCharacters) {
    EXPECT_EQ(Tokens("x_1Y"), (V{"1:x_1Y@1", "4:@1"}));
    EXPECT_EQ(Tokens("_a Zz9"), (V{"1:_a@1", "1:Zz9@1", "4:@1"}));
    EXPECT_EQ(Tokens(",;*"), (V{"0:,@1", "0:;@1", "0:*@1", "4:@1"}));
    EXPECT_EQ(Tokens("a.b"), (V{"1:a@1", "0:.@1", "1:b@1", "4:@1"}));
}

TEST_F(TokenScanner, PercentTexts) {
    EXPECT_EQ(Tokens("%ABC"), (V{"7:ABC@1", "4:@1"}));
    EXPECT_EQ(Tokens("%ABC\r\n7"), (V{"7:ABC@1", "2:7@2", "4:@2"}));
    EXPECT_EQ(Tokens("%%"), (V{"3:@1", "4:@1"}));
    EXPECT_EQ(Tokens("%FSLAX23Y23*%12"), (V{"3:FSLAX23Y23*@1", "2:12@1", "4:@1"}));
    EXPECT_EQ(Tokens("% a {b} %"), (V{"3: a {b} @1", "4:@1"}));
}

TEST_F(TokenScanner, NoTokenSpansTwoLines) {
    EXPECT_EQ(Tokens("12\r\n34"), (V{"2:12@1", "2:34@2", "4:@2"}));
    EXPECT_EQ(Tokens("ab\rcd"), (V{"1:ab@1", "1:cd@2", "4:@2"}));
    EXPECT_EQ(Tokens("-\r\n5"), (V{"0:-@1", "2:5@2", "4:@2"}));
    EXPECT_EQ(Tokens("%a\r\nb%"), (V{"7:a@1", "1:b@2", "7:@2", "4:@2"}));
    EXPECT_EQ(Tokens("%a\nb%\n\r7"), (V{"7:a@1", "1:b@2", "7:@2", "2:7@4", "4:@4"}));
    EXPECT_EQ(Tokens("12\n34 x\ny"), (V{"2:12@1", "2:34@2", "1:x@2", "1:y@3", "4:@3"}));
    EXPECT_EQ(Tokens("12\03234"), (V{"2:12@1", "4:@1"}));
}

TEST_F(TokenScanner, LongNamesKeepTheirFirstCharacters) {
    std::string Name(5000, 'n');
    std::vector<std::string> t = Tokens(Name + " 1");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], "1:" + std::string(255, 'n') + "@1");
    EXPECT_EQ(t[1], "2:1@1");
}

// The value a number text must give: exact while it fits, then saturated.
std::int64_t Reference(std::string_view Text) {
    bool Negative = !Text.empty() && Text[0] == '-';
    if (!Text.empty() && (Text[0] == '-' || Text[0] == '+')) {
        Text.remove_prefix(1);
    }
    while (Text.size() > 1 && Text[0] == '0') {
        Text.remove_prefix(1);
    }
    std::uint64_t v = UINT64_MAX;
    if (Text.size() <= 18) {
        std::from_chars(Text.data(), Text.data() + Text.size(), v);
    }
    std::int64_t m =
        v > std::uint64_t{Parser::kNumberLimit} ? Parser::kNumberLimit : std::int64_t(v);
    return Negative ? -m : m;
}

std::vector<std::string> NumberTexts() {
    std::vector<std::string> Out;
    std::vector<std::int64_t> Centres = {
        0,          2147483647,  2147483648, 4294967295,    4294967296,
        9999999999, 99999999999, 214748364,  1099511627776, 10000000000000};
    for (std::int64_t c : Centres) {
        for (std::int64_t d = -300; d <= 300; ++d) {
            if (c + d >= 0) {
                std::string t = std::to_string(c + d);
                for (const char* Sign : {"", "+", "-"}) {
                    Out.push_back(Sign + t);
                    Out.push_back(Sign + std::string(3, '0') + t);
                }
            }
        }
    }
    for (const char* t : {"12345678901234567890", "99999999999999999999", "18446744073709551616",
                          "00000000000000000001", "00000000002147483648", "21474836489",
                          "21474836480000000000", "92233720368547758079"}) {
        for (const char* Sign : {"", "+", "-"}) {
            Out.push_back(Sign + std::string(t));
        }
    }
    Out.push_back(std::string(1000, '0') + "123");
    Out.push_back("-" + std::string(1000, '0') + "2147483648");
    Out.push_back(std::string(1000, '9'));
    Out.push_back("-" + std::string(1000, '9'));
    return Out;
}

TEST_F(TokenScanner, ScannedNumbersMatchTheReference) {
    std::vector<std::string> Texts = NumberTexts();
    std::string Bytes;
    for (std::size_t i = 0; i < Texts.size(); ++i) {
        Bytes += Texts[i] + (i % 16 == 15 ? "\r\n" : " ");
    }
    WriteBytes("in.txt", Bytes);
    Parser::OpenInput("in.txt");
    for (const std::string& t : Texts) {
        ASSERT_EQ(Parser::ScanToken(), Parser::kNumber) << t;
        ASSERT_EQ(Parser::NumValue, Reference(t)) << t;
        std::size_t Digits = t.size() - (t[0] == '+' || t[0] == '-' ? 1 : 0);
        ASSERT_EQ(Parser::NumDigits, std::min<std::size_t>(Digits, 255)) << t;
    }
    EXPECT_EQ(Parser::ScanToken(), Parser::kEndOfInput);
}

// Reads Bytes as the Gerber reader does: a plain field where there is one,
// written "[X12/2@1]" (letter, number, digits, line), else one character by
// GetChar.
std::string PlainFieldsAndCharacters(const std::string& Bytes) {
    WriteBytes("in.gbr", Bytes);
    Parser::OpenInput("in.gbr");
    std::string Out;
    for (int Guard = 0; Guard < 1000; ++Guard) {
        std::int32_t Value = -1;
        std::uint8_t Digits = 0;
        if (char Letter = Parser::TakePlainField(Value, Digits)) {
            Out += "[" + std::string(1, Letter) + std::to_string(Value) + "/" +
                   std::to_string(Digits) + "@" + std::to_string(Parser::LineNo) + "]";
            continue;
        }
        char c = Parser::GetChar();
        if (c == Parser::kEndMark) {
            break;
        }
        Out += c;
    }
    return Out;
}

TEST_F(TokenScanner, PlainFieldsAreTakenWholeAndNothingElseIs) {
    struct Row {
        const char* Bytes;
        const char* Read;
    };
    for (const Row& r : {
             Row{"X1234567Y-5D01*", "[X1234567/7@1]Y-5[D1/2@1]*"},
             Row{"G54D11*X0000042*", "[G54/2@1][D11/2@1]*[X42/7@1]*"},
             Row{"XY1*N20*", "X[Y1/1@1]*[N20/2@1]*"},  // which letters are codes is the reader's
             Row{"I-3J0050*", "I-3[J50/4@1]*"},
             Row{"X12345678*", "X12345678*"},  // 8 digits or more: the long way
             Row{"X 1*X+1*X{c}1*x1*", "X 1*X+1*X{c}1*x1*"},
             Row{"X1", "X1"},  // nothing after the number on its line: it may go on
             Row{"X1\r\nY2*", "X1[Y2/1@2]*"},
             Row{"\r\n\nD10*\rD11*\n\rD12*", "[D10/2@3]*[D11/2@4]*[D12/2@6]*"},
             Row{"D10\032*", "D10"},  // a Ctrl-Z ends the input
         }) {
        EXPECT_EQ(PlainFieldsAndCharacters(r.Bytes), r.Read) << r.Bytes;
    }
}

}  // namespace
