// The main window's File > Export commands and the microphone choice: the file dialogs and the
// graph's size are asked here; the commands are ExportPresenter's.

#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QSettings>

#include "app/AppSession.h"
#include "app/CMainFrame.h"
#include "app/CMicrophoneDlg.h"
#include "app/CTSLView.h"
#include "export/PlotPng.h"
#include "ui/qt/CGraphCtrl.h"

namespace {

QString ExportFilter(ExportKind kind) {
    switch (kind) {
        case ExportKind::Measurement:
            return QStringLiteral("Text (*.txt);;All Files (*)");
        case ExportKind::Graph:
            return QStringLiteral("PNG picture (*.png);;SVG picture (*.svg)");
        case ExportKind::Equaliser:
            break;
    }
    return QStringLiteral("Text listing (*.txt);;JSON (*.json)");
}

}  // namespace

void CMainFrame::BuildExportMenu(QMenu* file) {
    exports_ = std::make_unique<ExportPresenter>(
        *this, Exporting::ExportService(&Exporting::SavePlotPng), brand_.title);
    QMenu* menu = file->addMenu(QStringLiteral("&Export"));
    connect(menu->addAction(QStringLiteral("&Measurement...")), &QAction::triggered, this,
            [this] { OnExportMeasurement(); });
    connect(menu->addAction(QStringLiteral("&Graph...")), &QAction::triggered, this,
            [this] { OnExportGraph(); });
    connect(menu->addAction(QStringLiteral("&Equaliser...")), &QAction::triggered, this,
            [this] { OnExportEqualiser(); });
}

std::optional<std::filesystem::path> CMainFrame::AskExportFileName(
    const std::filesystem::path& suggestion, ExportKind kind) {
    if (fileDialog_)
        return fileDialog_(true, suggestion);
    const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Export"),
                                                      QString::fromStdWString(suggestion.wstring()),
                                                      ExportFilter(kind));
    if (name.isEmpty())
        return std::nullopt;
    return std::filesystem::path(name.toStdWString());
}

std::pair<int, int> CMainFrame::GraphSize() {
    const QSize own = view_->Graph()->size();
    return {own.width(), own.height()};
}

bool CMainFrame::OnExportMeasurement() {
    return exports_->ExportMeasurement(presenter_->Document().Data());
}

bool CMainFrame::OnExportGraph() {
    return exports_->ExportGraph(presenter_->Document().Data(), view_->CurveOptionsShown());
}

bool CMainFrame::OnExportEqualiser() {
    return exports_->ExportEqualiser(presenter_->Document().Data());
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
