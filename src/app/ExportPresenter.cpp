#include "app/ExportPresenter.h"

#include "document/DocData.h"
#include "threading/Errors.h"

ExportPresenter::ExportPresenter(IExportView& view, Exporting::ExportService service,
                                 std::wstring caption)
    : view_(view), service_(std::move(service)), caption_(std::move(caption)) {}

bool ExportPresenter::Run(const std::function<void()>& write) {
    try {
        write();
        return true;
    } catch (const std::exception& e) {
        view_.Prompt().MessageBox(tsl::ExceptionText(e), caption_, Threading::MsgButtons::Ok,
                                  Threading::MsgIcon::Error);
        return false;
    }
}

bool ExportPresenter::ExportMeasurement(const DocData& data) {
    const auto curves = Exporting::AvailableCurves(data);
    if (curves.empty()) {
        Run([] { throw tsl::wruntime_error(kNoCurvesToExportText); });
        return false;
    }
    std::vector<std::wstring> labels;
    for (const auto& c : curves)
        labels.push_back(Exporting::CurveLabel(c));
    const auto choice = view_.Prompt().Choose(kWhichCurveText, labels);
    if (!choice || *choice >= curves.size())
        return false;
    const auto path = view_.AskExportFileName(Exporting::MeasurementFileName(data, curves[*choice]),
                                              ExportKind::Measurement);
    if (!path)
        return false;
    return Run([&] { service_.WriteMeasurement(data, curves[*choice], *path); });
}

bool ExportPresenter::ExportGraph(const DocData& data, const CurveOptions& shown) {
    const auto [width, height] = view_.GraphSize();
    const auto sizes = Exporting::PictureSizes(width, height);
    const auto choice = view_.Prompt().Choose(kPictureSizeText, Exporting::PictureSizeTexts(sizes));
    if (!choice || *choice >= sizes.size())
        return false;
    const auto path = view_.AskExportFileName(Exporting::GraphFileName(data), ExportKind::Graph);
    if (!path)
        return false;
    const Exporting::PlotOptions options{sizes[*choice].first, sizes[*choice].second, data.name};
    return Run([&] { service_.WriteGraphAs(data, options, *path, shown); });
}

bool ExportPresenter::ExportEqualiser(const DocData& data) {
    const auto path =
        view_.AskExportFileName(Exporting::EqualiserFileName(data), ExportKind::Equaliser);
    if (!path)
        return false;
    return Run([&] { service_.WriteEqualiserAs(data, *path); });
}
