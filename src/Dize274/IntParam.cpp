#include "Dize274/Dize274Internal.h"
#include "Parser/Parser.h"

namespace Dize274 {

void ReadIntParam(std::int32_t Min, std::int32_t Max, std::int32_t& Value, bool& Found) {
    Found = false;
    Parser::Status s = Parser::ScanToken();
    if (s == Parser::kEndOfInput) {
        return;  // the caller decides what a missing number means
    }
    if (s != Parser::kNumber) {
        Error("Integer number expected.");
    }
    Found = true;
    Value = CheckRange(Min, Max, Parser::NumValue);
}

void RangeError(std::int32_t Min, std::int32_t Max) {
    Error("Range exceeded (" + IntToText(Min) + " to " + IntToText(Max) + " allowed).");
}

}  // namespace Dize274
