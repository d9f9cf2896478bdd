#pragma once
// The entry point of a fuzz target. Under libFuzzer it is LLVMFuzzerTestOneInput; in the replay
// test (built without libFuzzer) every target registers under its name, so one executable can
// run each target's kept inputs from fuzz/regressions/<name>/.
//
//   TESSALINE_FUZZ_TARGET(document) { ... use data, size ...; return 0; }

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifdef TESSALINE_FUZZ_REPLAY
namespace fuzzing {
using TargetFunction = int (*)(const uint8_t* data, size_t size);
int Register(const char* name, TargetFunction function);
}  // namespace fuzzing
#define TESSALINE_FUZZ_TARGET(name)                              \
    static int FuzzOne_##name(const uint8_t* data, size_t size); \
    [[maybe_unused]] static const int fuzzRegistered_##name =    \
        fuzzing::Register(#name, FuzzOne_##name);                \
    static int FuzzOne_##name(const uint8_t* data, size_t size)
#else
#define TESSALINE_FUZZ_TARGET(name) \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#endif

// Hard failure of a property the target checks: aborts, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                              \
    do {                                                   \
        if (!(condition))                                  \
            fuzzing::Fail(#condition, __FILE__, __LINE__); \
    } while (0)

namespace fuzzing {

// In the replay test a failed check is raised as this (derived from nothing the targets catch);
// under libFuzzer it aborts.
struct CheckFailure {
    std::string text;
};
[[noreturn]] void Fail(const char* condition, const char* file, int line);

// Takes typed values from the front of the input; past its end every value is zero.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Left() const { return size_ - pos_; }
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    template <class T>
    T Value() {
        T v{};
        const size_t n = std::min(sizeof(T), Left());
        std::memcpy(&v, data_ + pos_, n);
        pos_ += n;
        return v;
    }
    // Up to n bytes.
    std::vector<uint8_t> Bytes(size_t n) {
        n = std::min(n, Left());
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }
    std::string Text(size_t n) {
        auto b = Bytes(n);
        return std::string(b.begin(), b.end());
    }
    // Everything left.
    std::string Rest() { return Text(Left()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace fuzzing
