#include <cstdlib>

#include "Dize274/Console.h"

namespace Dize274 {

void Halt(int Code) {
    std::exit(Code);
}

}  // namespace Dize274
