// The fuzzers' exit door: a fatal end must hand control back to the harness,
// as libFuzzer counts any exit() inside a target as a failure.
#include "FuzzSupport.h"

namespace Dize274 {

void Halt(int Code) {
    throw FuzzSupport::HaltSignal{Code};
}

}  // namespace Dize274
