#include "Dize274/ParameterBlock.h"

#include "Dize274/Console.h"
#include "Parser/Parser.h"

namespace Dize274 {

void ReadParameterBlock(void (*Take)(std::string_view Text)) {
    char Text[kMaxParameterText];
    std::size_t Size = 0;
    bool TooLong = false;
    for (char c = Parser::GetChar(); c != '%'; c = Parser::GetChar()) {
        if (c == '*') {
            if (!TooLong) {
                Take({Text, Size});
            }
            Size = 0;
            TooLong = false;
        } else if (c == Parser::kCR) {
            Error("Unexpected end of file in parameter block.");
        } else if (Size < kMaxParameterText) {
            Text[Size++] = c;
        } else {
            TooLong = true;
        }
    }
}

}  // namespace Dize274
