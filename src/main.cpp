#include <string>
#include <vector>

#include "Dize274/Dize274.h"

int main(int argc, char** argv) {
    std::vector<std::string> Args;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '\0') {  // an empty argument does not count
            Args.emplace_back(argv[i]);
        }
    }
    return Dize274::RunConversion(Args);
}
