#include "Dize274/IntParam.h"

#include "Dize274/Console.h"
#include "Parser/Parser.h"

namespace Dize274 {

std::int64_t ReadNumber(bool& Found) {
    Found = false;
    Parser::Status s = Parser::ScanToken();
    if (s == Parser::kEndOfInput) {
        return 0;  // the caller decides what a missing number means
    }
    if (s != Parser::kNumber) {
        Error("Integer number expected.");
    }
    Found = true;
    return Parser::NumValue;
}

void ReadIntParam(std::int32_t Min, std::int32_t Max, std::int32_t& Value, bool& Found) {
    std::int64_t v = ReadNumber(Found);
    if (Found) {
        Value = CheckRange(Min, Max, v);
    }
}

void RangeError(std::int32_t Min, std::int32_t Max) {
    Error("Range exceeded (" + IntToText(Min) + " to " + IntToText(Max) + " allowed).");
}

}  // namespace Dize274
