#pragma once
// Which fit designs the equaliser: the section fit as it always ran, or that fit followed by the
// bounded refinement (the default).

#include <cstdint>
#include <optional>
#include <string_view>

enum class FitMethod : int32_t { Classic = 0, Refined = 1 };

inline constexpr FitMethod kDefaultFitMethod = FitMethod::Refined;

// The names the command line and the document listing use.
inline constexpr std::string_view FitMethodName(FitMethod method) {
    return method == FitMethod::Classic ? "classic" : "refined";
}

inline std::optional<FitMethod> FitMethodFromName(std::string_view name) {
    if (name == "classic")
        return FitMethod::Classic;
    if (name == "refined")
        return FitMethod::Refined;
    return std::nullopt;
}
