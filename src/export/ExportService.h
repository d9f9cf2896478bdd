#pragma once
// A document's exports as both programs offer them: the format a file name asks for, the names
// and picture sizes suggested, the equaliser's rate from the subwoofer's model, and the writing
// of each export. PNG pictures are painted by the painter the program passes in (Qt).

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export/CurveExport.h"
#include "export/PlotExport.h"

struct DocData;

namespace Exporting {

enum class PictureFormat { Png, Svg };
enum class ListingFormat { Text, Json };

// ".svg" in any case is SVG, anything else PNG.
PictureFormat PictureFormatOf(const std::filesystem::path& path);
// ".json" in any case is JSON, anything else text.
ListingFormat ListingFormatOf(const std::filesystem::path& path);
// path, with extension appended when it has none.
std::filesystem::path WithDefaultExtension(std::filesystem::path path, const wchar_t* extension);

// The names suggested: "<name> - <curve label>.txt", "<name>.png", "<name> equaliser.txt".
std::filesystem::path MeasurementFileName(const DocData& data, const CurveSelection& selection);
std::filesystem::path GraphFileName(const DocData& data);
std::filesystem::path EqualiserFileName(const DocData& data);

// The picture sizes offered: the graph's own as shown (within the plot's limits), then the
// usual ones; and their texts, "W x H", the first followed by " (as shown)".
std::vector<std::pair<int, int>> PictureSizes(int shownWidth, int shownHeight);
std::vector<std::wstring> PictureSizeTexts(const std::vector<std::pair<int, int>>& sizes);

// The equaliser's sample rate: its model's, kEqualiserRate for a model the program does not know.
double EqualiserRate(const DocData& data);
std::string EqualiserListing(const DocData& data, ListingFormat format);

using PngPainter = std::function<void(const std::vector<PlotCurve>&, const PlotOptions&,
                                      const std::filesystem::path&)>;

// Every write raises tsl::wruntime_error naming the file and the reason when it cannot be done.
class ExportService {
public:
    // png may be empty: a program without Qt writes SVG only.
    explicit ExportService(PngPainter png = {}) : png_(std::move(png)) {}

    bool PaintsPng() const { return static_cast<bool>(png_); }

    void WriteMeasurement(const DocData& data, const CurveSelection& selection,
                          const std::filesystem::path& path) const;
    // An empty title is the document's name.
    // shown: the spread and positions the window shows besides the result curves.
    void WriteGraph(const DocData& data, PlotOptions options, const std::filesystem::path& path,
                    PictureFormat format, const CurveOptions& shown = {}) const;
    void WriteEqualiser(const DocData& data, const std::filesystem::path& path,
                        ListingFormat format) const;
    // Any plot's curves as a picture (the decay views).
    void WritePlot(const std::vector<PlotCurve>& curves, const PlotOptions& options,
                   const std::filesystem::path& path, PictureFormat format) const;

    // The format by the file's extension; a name without one gets ".png" or ".txt". Return the
    // file written.
    std::filesystem::path WriteGraphAs(const DocData& data, const PlotOptions& options,
                                       std::filesystem::path path,
                                       const CurveOptions& shown = {}) const;
    std::filesystem::path WriteEqualiserAs(const DocData& data, std::filesystem::path path) const;

private:
    PngPainter png_;
};

}  // namespace Exporting
