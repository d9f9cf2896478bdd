// The main window's File > Export commands and the microphone choice: what the user picks is
// asked here; the texts and pictures are made by the export library.

#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QSettings>
#include <algorithm>
#include <array>

#include "app/AppSession.h"
#include "app/CMainFrame.h"
#include "app/CMicrophoneDlg.h"
#include "app/CTSLView.h"
#include "export/CurveExport.h"
#include "export/EqListing.h"
#include "export/PlotExport.h"
#include "export/PlotPng.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "threading/SafeFile.h"
#include "ui/qt/CGraphCtrl.h"

namespace {

// Picture sizes offered besides the graph's own.
constexpr std::array<std::pair<int, int>, 4> kPictureSizes{
    {{1200, 700}, {1920, 1080}, {800, 450}, {3840, 2160}}};

std::wstring SizeText(int w, int h) {
    return std::to_wstring(w) + L" x " + std::to_wstring(h);
}

std::filesystem::path WithExtension(std::filesystem::path path, const wchar_t* extension) {
    if (!path.has_extension())
        path += extension;
    return path;
}

}  // namespace

void CMainFrame::BuildExportMenu(QMenu* file) {
    QMenu* menu = file->addMenu(QStringLiteral("&Export"));
    connect(menu->addAction(QStringLiteral("&Measurement...")), &QAction::triggered, this,
            [this] { OnExportMeasurement(); });
    connect(menu->addAction(QStringLiteral("&Graph...")), &QAction::triggered, this,
            [this] { OnExportGraph(); });
    connect(menu->addAction(QStringLiteral("&Equaliser...")), &QAction::triggered, this,
            [this] { OnExportEqualiser(); });
}

std::optional<std::filesystem::path> CMainFrame::AskExportFileName(
    const std::filesystem::path& suggestion, const QString& filter) {
    if (fileDialog_)
        return fileDialog_(true, suggestion);
    const QString name = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export"), QString::fromStdWString(suggestion.wstring()), filter);
    if (name.isEmpty())
        return std::nullopt;
    return std::filesystem::path(name.toStdWString());
}

bool CMainFrame::RunExport(const std::function<void()>& write) {
    try {
        write();
        return true;
    } catch (const std::exception& e) {
        prompt_.MessageBox(tsl::ExceptionText(e), brand_.title, Threading::MsgButtons::Ok,
                           Threading::MsgIcon::Error);
        return false;
    }
}

bool CMainFrame::OnExportMeasurement() {
    const DocData& data = presenter_->Document().Data();
    const auto curves = Exporting::AvailableCurves(data);
    if (curves.empty()) {
        RunExport([] { throw tsl::wruntime_error(L"The document holds no curves to export."); });
        return false;
    }
    std::vector<std::wstring> labels;
    for (const auto& c : curves)
        labels.push_back(Exporting::CurveLabel(c));
    const auto choice = prompt_.Choose(L"Which curve?", labels);
    if (!choice || *choice >= curves.size())
        return false;
    const auto path = AskExportFileName(data.name + L" - " + labels[*choice] + L".txt",
                                        QStringLiteral("Text (*.txt);;All Files (*)"));
    if (!path)
        return false;
    return RunExport([&] {
        Threading::SafeWriteFile(*path, Exporting::MeasurementText(data, curves[*choice]));
    });
}

bool CMainFrame::OnExportGraph() {
    const DocData& data = presenter_->Document().Data();
    const QSize own = view_->Graph()->size();
    std::vector<std::pair<int, int>> sizes{
        {std::clamp(own.width(), Exporting::kMinPlotSize, Exporting::kMaxPlotSize),
         std::clamp(own.height(), Exporting::kMinPlotSize, Exporting::kMaxPlotSize)}};
    sizes.insert(sizes.end(), kPictureSizes.begin(), kPictureSizes.end());
    std::vector<std::wstring> labels;
    for (const auto& [w, h] : sizes)
        labels.push_back(SizeText(w, h) + (labels.empty() ? L" (as shown)" : L""));
    const auto choice = prompt_.Choose(L"Picture size (pixels)?", labels);
    if (!choice || *choice >= sizes.size())
        return false;
    auto path = AskExportFileName(data.name + L".png",
                                  QStringLiteral("PNG picture (*.png);;SVG picture (*.svg)"));
    if (!path)
        return false;
    *path = WithExtension(*path, L".png");
    const Exporting::PlotOptions options{sizes[*choice].first, sizes[*choice].second, data.name};
    return RunExport([&] {
        const auto curves = Exporting::DocumentPlotCurves(data);
        if (path->extension() == ".svg" || path->extension() == ".SVG")
            Threading::SafeWriteFile(*path, Exporting::PlotSvg(curves, options));
        else
            Exporting::SavePlotPng(curves, options, *path);
    });
}

bool CMainFrame::OnExportEqualiser() {
    const DocData& data = presenter_->Document().Data();
    auto path = AskExportFileName(data.name + L" equaliser.txt",
                                  QStringLiteral("Text listing (*.txt);;JSON (*.json)"));
    if (!path)
        return false;
    *path = WithExtension(*path, L".txt");
    const bool json = path->extension() == ".json" || path->extension() == ".JSON";
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(data.modelId);
    const double rate = model ? model->eqSampleRate : Exporting::kEqualiserRate;
    return RunExport([&] {
        Threading::SafeWriteFile(*path, json ? Exporting::EqListingJson(data.eq, rate, data.name)
                                             : Exporting::EqListingText(data.eq, rate, data.name));
    });
}

void CMainFrame::SetSession(AppSession* session) {
    session_ = session;
    if (session_ == nullptr)
        return;
    MicrophoneChoice& choice = session_->Microphone();
    choice.device = settings_.value(kMicrophoneDeviceKey).toString().toStdWString();
    choice.textCalibration = settings_.value(kMicrophoneCalibrationKey).toString().toStdWString();
}

void CMainFrame::OnMicrophone() {
    if (session_ == nullptr)
        return;
    CMicrophoneDlg dialog(session_->RecordingDevices(), session_->Microphone(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const MicrophoneChoice choice = dialog.Choice();
    session_->Microphone() = choice;
    settings_.setValue(kMicrophoneDeviceKey, QString::fromStdWString(choice.device));
    settings_.setValue(kMicrophoneCalibrationKey,
                       QString::fromStdWString(choice.textCalibration.wstring()));
}
