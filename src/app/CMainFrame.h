#pragma once
// The main window: menus, the command strip of six buttons over the view, the recent-file list.
// It draws and forwards; the commands are MainPresenter's and the core's command chains.

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "app/ExportPresenter.h"
#include "app/MainPresenter.h"
#include "app/QtPrompt.h"
#include "threading/Window.h"

class AppSession;
class CPositionsPanel;
class CTSLView;
class QMenu;
class QPushButton;
class QSettings;

class CMainFrame : public QMainWindow,
                   public IMainWindow,
                   public IExportView,
                   public Threading::IWindow {
    Q_OBJECT
public:
    CMainFrame(const BrandResources& brand, QSettings& settings);
    ~CMainFrame() override;

    // Connects the frame to its logic (which is made with the frame) and shows the document.
    void SetPresenter(MainPresenter* presenter);
    // The devices, for the microphone choice (not owned; may stay unset). The choice kept in the
    // settings by an earlier run is taken up again.
    void SetSession(AppSession* session);

    // IMainWindow, IExportView
    Threading::IPrompt& Prompt() override { return prompt_; }
    std::optional<std::filesystem::path> AskSaveFileName(
        const std::filesystem::path& suggestion) override;
    std::optional<std::filesystem::path> AskOpenFileName() override;
    std::vector<std::filesystem::path> AskImportFileNames() override;
    Threading::IWindow* WizardParent() override { return this; }
    void ShowDocument() override;
    void Repaint() override;
    void HoldDocument(bool hold) override;
    void ShowMeasuring(const DocData& shown, bool positions) override;
    std::optional<std::filesystem::path> AskExportFileName(const std::filesystem::path& suggestion,
                                                           ExportKind kind) override;
    std::pair<int, int> GraphSize() override;

    // IWindow: nothing is addressed to the frame yet.
    std::intptr_t OnMessage(const Threading::WND_MSG&) override { return 0; }

    // The commands of the strip and the menus.
    void OnCommand(int id);
    void OnColors();
    void OnAbout();
    // File > Export: a curve as text, the graph as PNG or SVG, the equaliser listing (text or
    // JSON by the file's extension). True when a file was written.
    bool OnExportMeasurement();
    bool OnExportGraph();
    bool OnExportEqualiser();
    // Tools > Microphone: the recording device and text calibration of later measurements.
    void OnMicrophone();
    // File > History: what was written into the subwoofers, and writing a record back.
    void OnHistory();

    // Replace the file dialogs and the colour chooser (tests).
    using FileDialog = std::function<std::optional<std::filesystem::path>(
        bool save, const std::filesystem::path& suggestion)>;
    void SetFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }
    using ColorsDialog = std::function<std::optional<std::array<uint32_t, 3>>(
        QWidget* parent, const std::array<uint32_t, 3>& colours)>;
    void SetColorsDialog(ColorsDialog dialog) { colorsDialog_ = std::move(dialog); }
    // Opens the quick measurement (Tools > Quick Measure).
    void SetQuickMeasure(std::function<void()> open) { quickMeasure_ = std::move(open); }

    CTSLView* View() const { return view_; }
    QAction* UndoAction() const { return undoAction_; }
    CPositionsPanel* Positions() const { return positions_; }
    QPushButton* StripButton(int id) const;
    QMenu* RecentMenuOwner() const { return fileMenu_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildStrip();
    void UpdateRecentMenu();
    void BuildExportMenu(QMenu* file);

    const BrandResources& brand_;
    QSettings& settings_;
    MainPresenter* presenter_ = nullptr;
    std::unique_ptr<ExportPresenter> exports_;
    AppSession* session_ = nullptr;
    QtPrompt prompt_;
    CTSLView* view_;
    CPositionsPanel* positions_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;  // after the recent files, shown with them
    QAction* exitAction_ = nullptr;
    QAction* undoAction_ = nullptr;  // Edit > Undo: the last drop of a position
    std::vector<QAction*> recentActions_;
    std::map<int, QPushButton*> strip_;
    FileDialog fileDialog_;
    ColorsDialog colorsDialog_;
    std::function<void()> quickMeasure_;
};

inline constexpr char kRecentFilesKey[] = "Recent File List";
inline constexpr char kGeometryKey[] = "Window/Geometry";
// Whether the Positions panel is shown, and its size.
inline constexpr char kWindowStateKey[] = "Window/State";
inline constexpr char kMicrophoneDeviceKey[] = "Microphone/Device";
inline constexpr char kMicrophoneCalibrationKey[] = "Microphone/TextCalibration";
