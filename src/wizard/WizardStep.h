#pragma once
// A wizard step: a function run on the wizard's worker thread and its display name.

#include <cstdint>
#include <functional>
#include <string>

class IProcDialog;
struct DocData;

using STEP = uint32_t;

// Returns true for success. May throw a wide runtime error or any standard exception; the
// controller shows its text and counts the step as failed.
using StepFunction = std::function<bool(IProcDialog* progress, void* arg1, void* arg2)>;

// A step over the document: the controller's first argument is the document, its second the
// wizard's option bits (a uint32_t; none reads as 0).
using DocumentStepBody =
    std::function<bool(IProcDialog* progress, DocData& data, uint32_t options)>;

// The step function that casts the controller's arguments once and runs body with them. A run
// without a document raises "The <name> step has no document.".
StepFunction DocumentStep(const std::wstring& name, DocumentStepBody body);

struct WizardStep {
    StepFunction function;
    std::wstring name;
};

// Completion codes carried in the lParam of UM_DONE.
inline constexpr std::intptr_t STEP_FAILED = 10;
inline constexpr std::intptr_t STEP_SUCCEEDED = 20;

using SaveCallback = void (*)(void* data);
