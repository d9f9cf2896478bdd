#pragma once
// A wizard step: a function run on the wizard's worker thread and its display name.

#include <cstdint>
#include <functional>
#include <string>

class IProcDialog;

using STEP = uint32_t;

// Returns true for success. May throw a wide runtime error or any standard exception; the
// controller shows its text and counts the step as failed.
using StepFunction = std::function<bool(IProcDialog* progress, void* arg1, void* arg2)>;

struct WizardStep {
    StepFunction function;
    std::wstring name;
};

// Completion codes carried in the lParam of UM_DONE.
inline constexpr std::intptr_t STEP_FAILED = 10;
inline constexpr std::intptr_t STEP_SUCCEEDED = 20;

using SaveCallback = void (*)(void* data);
