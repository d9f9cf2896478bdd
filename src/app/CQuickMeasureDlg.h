#pragma once
// The quick measurement's window: the buttons, the progress bar, the graph of the last three
// responses and the log. It owns the controls and forwards; the logic is QuickMeasurePresenter's.
// In a simulation a spin box moves the simulated microphone between positions.

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/QtPrompt.h"
#include "app/QuickMeasurePresenter.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace Graphing {
class CGraphCtrl;
}

// Controls of the dialog.
inline constexpr int IDC_QM_CLOSE = 1;
inline constexpr int IDC_QM_START = 1089;
inline constexpr int IDC_QM_STOP = 1090;
inline constexpr int IDC_QM_CONNECT = 1091;
inline constexpr int IDC_QM_AUTOSCALE = 1092;
inline constexpr int IDC_QM_DISCONNECT = 1093;
inline constexpr int IDC_QM_LOG = 1094;
inline constexpr int IDC_QM_PROGRESS = 1095;
inline constexpr int IDC_QM_GRAPH = 1030;
inline constexpr int kQuickMeasureTemplate = 148;

// The simulated microphone the spin box moves (positions 0 .. count - 1).
struct SimulatedMicrophone {
    std::function<void(int position)> moveTo;
    int position = 0;
    int count = 10;
};

class CQuickMeasureDlg : public QDialog, public IQuickMeasureWindow {
    Q_OBJECT
public:
    // bridge is drained on this thread (the application's timer keeps running in exec()).
    CQuickMeasureDlg(Threading::MessageBridge& bridge, MeasureEnvironment environment,
                     QWidget* parent, std::optional<SimulatedMicrophone> microphone = {});
    ~CQuickMeasureDlg() override;

    QuickMeasurePresenter& Engine() { return *engine_; }
    QPushButton* Button(int id) const;
    QPlainTextEdit* LogView() const { return log_; }
    QProgressBar* ProgressBar() const { return progress_; }
    Graphing::CGraphCtrl* Graph() const { return graph_; }
    // Null outside a simulation.
    QSpinBox* MicrophonePosition() const { return position_; }

    // IQuickMeasureWindow
    void DrawEnable(QuickButton button, bool enabled) override;
    void AppendLog(const std::wstring& text) override;
    void DrawProgressRange(int32_t n) override;
    void DrawProgressPos(int32_t n) override;
    void RedrawGraph(bool rescale) override;
    Threading::IPrompt& WindowPrompt() override { return prompt_; }

    // Close, Escape and the close box: stop what runs, then close.
    void reject() override;

private:
    QPushButton* AddButton(int id, const QString& text, const QString& name);

    QtPrompt prompt_;
    std::unique_ptr<QuickMeasurePresenter> engine_;
    std::map<int, QPushButton*> buttons_;
    Graphing::CGraphCtrl* graph_;
    QProgressBar* progress_;
    QPlainTextEdit* log_;
    QSpinBox* position_ = nullptr;
};
