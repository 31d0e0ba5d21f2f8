#include <cstdlib>

#include "Dize274/Dize274Internal.h"

namespace Dize274 {

void Halt(int Code) {
    std::exit(Code);
}

}  // namespace Dize274
