#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "FuzzTarget.h"

namespace fuzzing {

void Fail(const char* condition, const char* file, int line) {
    const std::string text =
        std::string(file) + ":" + std::to_string(line) + ": check failed: " + condition;
#ifdef TESSALINE_FUZZ_REPLAY
    throw CheckFailure{text};
#else
    std::fprintf(stderr, "%s\n", text.c_str());
    std::abort();
#endif
}

}  // namespace fuzzing
