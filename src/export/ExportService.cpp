#include "export/ExportService.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <string_view>

#include "document/DocData.h"
#include "export/EqListing.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "threading/SafeFile.h"

namespace Exporting {

namespace {

// Picture sizes offered besides the graph's own.
constexpr std::array<std::pair<int, int>, 4> kPictureSizes{
    {{1200, 700}, {1920, 1080}, {800, 450}, {3840, 2160}}};

bool HasExtension(const std::filesystem::path& path, std::wstring_view extension) {
    std::wstring own = path.extension().wstring();
    std::transform(own.begin(), own.end(), own.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return own == extension;
}

}  // namespace

PictureFormat PictureFormatOf(const std::filesystem::path& path) {
    return HasExtension(path, L".svg") ? PictureFormat::Svg : PictureFormat::Png;
}

ListingFormat ListingFormatOf(const std::filesystem::path& path) {
    return HasExtension(path, L".json") ? ListingFormat::Json : ListingFormat::Text;
}

std::filesystem::path WithDefaultExtension(std::filesystem::path path, const wchar_t* extension) {
    if (!path.has_extension())
        path += extension;
    return path;
}

std::filesystem::path MeasurementFileName(const DocData& data, const CurveSelection& selection) {
    return data.name + L" - " + CurveLabel(selection) + L".txt";
}

std::filesystem::path GraphFileName(const DocData& data) {
    return data.name + L".png";
}

std::filesystem::path EqualiserFileName(const DocData& data) {
    return data.name + L" equaliser.txt";
}

std::vector<std::pair<int, int>> PictureSizes(int shownWidth, int shownHeight) {
    std::vector<std::pair<int, int>> sizes{{std::clamp(shownWidth, kMinPlotSize, kMaxPlotSize),
                                            std::clamp(shownHeight, kMinPlotSize, kMaxPlotSize)}};
    sizes.insert(sizes.end(), kPictureSizes.begin(), kPictureSizes.end());
    return sizes;
}

std::vector<std::wstring> PictureSizeTexts(const std::vector<std::pair<int, int>>& sizes) {
    std::vector<std::wstring> texts;
    for (const auto& [w, h] : sizes)
        texts.push_back(std::to_wstring(w) + L" x " + std::to_wstring(h) +
                        (texts.empty() ? L" (as shown)" : L""));
    return texts;
}

double EqualiserRate(const DocData& data) {
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(data.modelId);
    return model ? model->eqSampleRate : kEqualiserRate;
}

std::string EqualiserListing(const DocData& data, ListingFormat format) {
    const double rate = EqualiserRate(data);
    return format == ListingFormat::Json ? EqListingJson(data.eq, rate, data.name)
                                         : EqListingText(data.eq, rate, data.name);
}

void ExportService::WriteMeasurement(const DocData& data, const CurveSelection& selection,
                                     const std::filesystem::path& path) const {
    Threading::SafeWriteFile(path, MeasurementText(data, selection));
}

void ExportService::WriteGraph(const DocData& data, PlotOptions options,
                               const std::filesystem::path& path, PictureFormat format,
                               const CurveOptions& shown) const {
    if (options.title.empty())
        options.title = data.name;
    WritePlot(DocumentPlotCurves(data, shown), options, path, format);
}

void ExportService::WritePlot(const std::vector<PlotCurve>& curves, const PlotOptions& options,
                              const std::filesystem::path& path, PictureFormat format) const {
    if (format == PictureFormat::Svg)
        Threading::SafeWriteFile(path, PlotSvg(curves, options));
    else if (png_)
        png_(curves, options, path);
    else
        throw tsl::wruntime_error(L"This program cannot paint PNG pictures; choose SVG.");
}

void ExportService::WriteEqualiser(const DocData& data, const std::filesystem::path& path,
                                   ListingFormat format) const {
    Threading::SafeWriteFile(path, EqualiserListing(data, format));
}

std::filesystem::path ExportService::WriteGraphAs(const DocData& data, const PlotOptions& options,
                                                  std::filesystem::path path,
                                                  const CurveOptions& shown) const {
    path = WithDefaultExtension(std::move(path), L".png");
    WriteGraph(data, options, path, PictureFormatOf(path), shown);
    return path;
}

std::filesystem::path ExportService::WriteEqualiserAs(const DocData& data,
                                                      std::filesystem::path path) const {
    path = WithDefaultExtension(std::move(path), L".txt");
    WriteEqualiser(data, path, ListingFormatOf(path));
    return path;
}

}  // namespace Exporting
