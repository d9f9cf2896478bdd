// Every fuzz target on an empty input and on each input kept in fuzz/regressions/<target>/.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "FuzzTarget.h"

namespace fuzzing {

namespace {
std::map<std::string, TargetFunction>& Targets() {
    static std::map<std::string, TargetFunction> targets;
    return targets;
}
}  // namespace

int Register(const char* name, TargetFunction function) {
    Targets()[name] = function;
    return 0;
}

}  // namespace fuzzing

TEST(FuzzReplay, EveryKeptInputRunsCleanly) {
    namespace fs = std::filesystem;
    ASSERT_FALSE(fuzzing::Targets().empty());
    for (const auto& [name, run] : fuzzing::Targets()) {
        SCOPED_TRACE(name);
        std::vector<fs::path> inputs;
        const fs::path dir = fs::path(TESSALINE_FUZZ_REGRESSIONS) / name;
        if (fs::is_directory(dir))
            for (const auto& entry : fs::directory_iterator(dir))
                inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
        static const uint8_t kNothing = 0;
        EXPECT_NO_THROW(run(&kNothing, 0));
        for (const fs::path& path : inputs) {
            std::ifstream in(path, std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            try {
                run(bytes.data(), bytes.size());
            } catch (const fuzzing::CheckFailure& failure) {
                ADD_FAILURE() << path << ": " << failure.text;
            } catch (const std::exception& e) {
                ADD_FAILURE() << path << ": uncaught " << e.what();
            }
        }
    }
}
