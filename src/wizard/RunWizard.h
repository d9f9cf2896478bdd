#pragma once
// The launcher: runs one one-step wizard modally over a private working copy of the document's
// data and tells whether it ended successfully.

#include <cstdint>

#include "document/DocData.h"
#include "threading/MessageBridge.h"
#include "wizard/WizardController.h"

// Wizard kinds.
inline constexpr int kWizardMeasure = 0;
inline constexpr int kWizardCalculate = 1;
inline constexpr int kWizardUpload = 2;  // erases with kOptionErase
inline constexpr int kWizardVerify = 3;

// Bits and values of the options word.
inline constexpr uint32_t kOptionDetectCrossover = 1;  // Calculate: detect the crossover
inline constexpr uint32_t kOptionTargetDialog = 2;     // Calculate: ask with the target dialog
inline constexpr uint32_t kOptionErase = 0x10;
inline constexpr uint32_t kOptionNoSave = 0x20;
inline constexpr uint32_t kOptionRestore = 0x40;  // Upload: the step writes back a history record
// Calculate: without the per-position figures (one more fit per position)
inline constexpr uint32_t kOptionNoPositionFigures = 0x80;

// The document as the wizard sees it.
class IWizardDocument {
public:
    virtual ~IWizardDocument() = default;
    virtual DocData& Data() = 0;
    virtual void SetModifiedFlag(bool modified) = 0;
    // The ordinary save command: writes to the document's file when it has one that is not
    // read-only, otherwise asks for a file name first. False when nothing was written.
    virtual bool DoFileSave() = 0;
};

// The step functions of the wizard kinds. Each default fails with a text saying that the step
// is not available, so a missing step never passes silently.
struct WizardStepTable {
    StepFunction measure;
    StepFunction calculate;
    StepFunction upload;  // also erases (kOptionErase) and restores (kOptionRestore)
    StepFunction verify;

    static WizardStepTable Defaults();
};

struct WizardEnvironment {
    WizardStepTable steps = WizardStepTable::Defaults();
    DialogFactory makeDialog;
    Threading::MessageBridge* bridge = nullptr;  // the UI thread's bridge; required
};

// The one-step list for a kind; any other kind gives no steps.
std::vector<WizardStep> StepsForKind(int kind, uint32_t options, const WizardStepTable& table);

// Runs the wizard modally; true when it ended successfully. Otherwise (failed, aborted,
// cancelled) the document's data is put back as it was before the wizard. failureText, when
// given, receives the message shown for a step that failed by raising (empty otherwise).
bool RunWizard(int kind, Threading::IWindow* parentWindow, IWizardDocument& document,
               uint32_t options, const WizardEnvironment& environment,
               std::wstring* failureText = nullptr);

// The save callback's data: the document followed by the working data.
struct SaveProgressRecord {
    IWizardDocument* document = nullptr;
    DocData working;
};

// Saves the working data through the document (UI thread, after a step has succeeded).
void SaveProgress(void* record);
