#pragma once
// File > Export without Qt: the curve and the picture size the user picks, the names suggested
// and the writing through the export service; a failure is shown in a box. The main window
// asks through IExportView.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "export/ExportService.h"
#include "threading/Prompt.h"

struct DocData;

enum class ExportKind { Measurement, Graph, Equaliser };

class IExportView {
public:
    virtual ~IExportView() = default;
    // Message boxes and choices owned by the main window.
    virtual Threading::IPrompt& Prompt() = 0;
    // The save dialog offering the kind's formats; nothing when cancelled.
    virtual std::optional<std::filesystem::path> AskExportFileName(
        const std::filesystem::path& suggestion, ExportKind kind) = 0;
    // The graph's size as shown, in pixels.
    virtual std::pair<int, int> GraphSize() = 0;
};

class ExportPresenter {
public:
    // view must outlive the presenter; caption is the boxes' caption (the program's title).
    ExportPresenter(IExportView& view, Exporting::ExportService service, std::wstring caption);

    // Each true when a file was written: a curve as text, the graph as PNG or SVG by the file's
    // extension, the equaliser listing as text or JSON by the file's extension.
    bool ExportMeasurement(const DocData& data);
    // The picture shows the curves the window shows.
    bool ExportGraph(const DocData& data, const CurveOptions& shown = {});
    bool ExportEqualiser(const DocData& data);

private:
    // Runs write; a failure is shown in a message box.
    bool Run(const std::function<void()>& write);

    IExportView& view_;
    Exporting::ExportService service_;
    std::wstring caption_;
};

inline constexpr wchar_t kNoCurvesToExportText[] = L"The document holds no curves to export.";
inline constexpr wchar_t kWhichCurveText[] = L"Which curve?";
inline constexpr wchar_t kPictureSizeText[] = L"Picture size (pixels)?";
