#pragma once
// The main window's command chains, over an abstract view so that the GUI and the command line
// run the same code.

#include <cstdint>
#include <string>

#include "threading/Prompt.h"

struct DocData;

class IMainView {
public:
    virtual ~IMainView() = default;
    // RunWizard over the open document with the view as parent.
    virtual bool RunWizard(int kind, uint32_t options) = 0;
    // Redraws the graphs and the caption.
    virtual void Refresh() = 0;
    // Whether the document's result list holds anything.
    virtual bool HasResults() = 0;
    // Message boxes owned by the view.
    virtual Threading::IPrompt& Prompt() = 0;
    virtual std::wstring ApplicationTitle() const = 0;
};

inline constexpr wchar_t kMeasureOverwriteQuestion[] =
    L"If you proceed any further your previous measurements will be lost.\nWould you like to "
    L"proceed?";
inline constexpr wchar_t kUploadSuccessText[] =
    L"Your subwoofer has successfully been EQ'd\n\r\n\rNow you will need to set your sub's level, "
    L"crossover, and phase controls according to your subwoofer manual's instructions.";
inline constexpr wchar_t kEraseSuccessText[] = L"Your subwoofers EQ has successfully been erased";

// Each returns true when every wizard it ran ended successfully.
bool MeasureCommand(IMainView& view);  // Measure, Calculate (detect crossover), Upload
bool TargetCommand(IMainView& view);   // Calculate with the target dialog
bool UploadCommand(IMainView& view);
bool EraseCommand(IMainView& view);

// What Target and Upload need: measurements to calculate from, and an equaliser fitted to them to
// upload.
bool CanCalculate(const DocData& data);
bool CanUpload(const DocData& data);
