#include <string>

#include "Gerber/Gerber.h"
#include "Parser/Parser.h"

namespace Gerber {

namespace {

// Kept from block to block so that a file's many small blocks allocate once.
std::string Text;

}  // namespace

bool ReadParameterBlock(std::size_t MaxText, ParameterTaker Take) {
    Text.clear();
    bool First = true;
    bool Cut = false;
    for (char c = Parser::GetChar(); c != '%'; c = Parser::GetChar()) {
        if (c == '*') {
            Take(Text, First, Cut);
            Text.clear();
            First = false;
            Cut = false;
        } else if (c == Parser::kCR) {
            return false;
        } else if (Text.size() < MaxText) {
            Text.push_back(c);
        } else {
            Cut = true;
        }
    }
    return true;
}

}  // namespace Gerber
