#include <cstdint>
#include <set>

#include "Dize274/IntParam.h"
#include "Parser/Parser.h"
#include "TestSupport.h"

namespace {

using Dize274::ReadIntParam;

class IntParam : public TempDirTest {
   protected:
    void Open(const std::string& Bytes) {
        WriteBytes("in.Cfg", Bytes);
        Parser::OpenInput("in.Cfg");
    }
};

// The bounds every caller passes, with the message its range error must show.
struct Bounds {
    std::int32_t Min;
    std::int32_t Max;
    const char* Console;
};
const Bounds kCallers[] = {
    {-2147483647, 2147483647,
     "Line 1 - ERROR: Range exceeded (-2147483647 to 2147483647 allowed).\r\n"
     "Fatal error - program halted.\r\n"},
    {1, 2147483647,
     "Line 1 - ERROR: Range exceeded (1 to 2147483647 allowed).\r\n"
     "Fatal error - program halted.\r\n"},
    {0, 15,
     "Line 1 - ERROR: Range exceeded (0 to 15 allowed).\r\nFatal error - program halted.\r\n"},
    {10, 9999,
     "Line 1 - ERROR: Range exceeded (10 to 9999 allowed).\r\nFatal error - program halted.\r\n"},
    {-1, 15,
     "Line 1 - ERROR: Range exceeded (-1 to 15 allowed).\r\nFatal error - program halted.\r\n"},
    {-1, 63,
     "Line 1 - ERROR: Range exceeded (-1 to 63 allowed).\r\nFatal error - program halted.\r\n"},
    {1, 9999,
     "Line 1 - ERROR: Range exceeded (1 to 9999 allowed).\r\nFatal error - program halted.\r\n"},
    {0, 99,
     "Line 1 - ERROR: Range exceeded (0 to 99 allowed).\r\nFatal error - program halted.\r\n"},
};

TEST_F(IntParam, BoundsAreInclusiveForEveryCaller) {
    for (const Bounds& b : kCallers) {
        for (std::int32_t v : {b.Min, b.Max}) {
            Open("  " + std::to_string(v) + " ");
            std::int32_t Value = 12345;
            bool Found = false;
            ReadIntParam(b.Min, b.Max, Value, Found);
            EXPECT_TRUE(Found) << v;
            EXPECT_EQ(Value, v);
        }
    }
}

TEST_F(IntParam, OutOfRangeAndOversizedNumbersGiveTheFieldsRangeError) {
    for (const Bounds& b : kCallers) {
        std::set<std::string> Refused = {std::to_string(std::int64_t{b.Min} - 1),
                                         std::to_string(std::int64_t{b.Max} + 1), "-2147483648",
                                         "2147483648", "99999999999"};
        for (const std::string& t : Refused) {
            Open(t);
            std::int32_t Value = 0;
            bool Found = false;
            EXPECT_FATAL(ReadIntParam(b.Min, b.Max, Value, Found), b.Console) << t;
        }
    }
}

TEST_F(IntParam, WrappingValuesAreNotSmuggledIntoRange) {
    // Values that would land inside 0..15 if the number wrapped modulo 2^32.
    for (const char* t : {"4294967296", "4294967301", "-4294967295", "18446744073709551621"}) {
        Open(t);
        std::int32_t Value = 0;
        bool Found = false;
        EXPECT_FATAL(ReadIntParam(0, 15, Value, Found),
                     "Line 1 - ERROR: Range exceeded (0 to 15 allowed).\r\n"
                     "Fatal error - program halted.\r\n")
            << t;
    }
}

TEST_F(IntParam, EndOfInputIsNotAnError) {
    for (const char* Bytes : {"", "  \r\n{ only a comment }\r\n", "\0325"}) {
        Open(Bytes);
        std::int32_t Value = 77;
        bool Found = true;
        EXPECT_EQ(CaptureStdout([&] { ReadIntParam(1, 99, Value, Found); }), "");
        EXPECT_FALSE(Found);
        EXPECT_EQ(Value, 77);
    }
}

TEST_F(IntParam, AnythingButANumberIsRefused) {
    for (const char* Bytes : {"x", "abc 5", "%ABC", "%A%", ",", "+ 1", "*"}) {
        Open(Bytes);
        std::int32_t Value = 0;
        bool Found = false;
        EXPECT_FATAL(
            ReadIntParam(-2147483647, 2147483647, Value, Found),
            "Line 1 - ERROR: Integer number expected.\r\nFatal error - program halted.\r\n")
            << Bytes;
    }
}

TEST_F(IntParam, RangeErrorCarriesTheLineOfTheNumber) {
    Open("1\r\n\r\nD0*");
    std::int32_t Value = 0;
    bool Found = false;
    ReadIntParam(1, 99, Value, Found);
    EXPECT_EQ(Value, 1);
    EXPECT_EQ(Parser::GetChar(), 'D');  // taken as the Gerber reader takes a code letter
    EXPECT_FATAL(ReadIntParam(1, 99, Value, Found),
                 "Line 3 - ERROR: Range exceeded (1 to 99 allowed).\r\n"
                 "Fatal error - program halted.\r\n");
}

TEST_F(IntParam, MinusOneIsAcceptedAsAPadPatternButMinusTwoIsNot) {
    Open("-1 -2");
    std::int32_t Value = 0;
    bool Found = false;
    ReadIntParam(-1, 63, Value, Found);
    EXPECT_TRUE(Found);
    EXPECT_EQ(Value, -1);
    EXPECT_FATAL(ReadIntParam(-1, 63, Value, Found),
                 "Line 1 - ERROR: Range exceeded (-1 to 63 allowed).\r\n"
                 "Fatal error - program halted.\r\n");
}

}  // namespace
