#pragma once
// The main window's logic without Qt: the command chains over the open document, the file
// commands (a failed save keeps the data and asks for another name), the recent-file list and
// the window title. The frame draws through IMainWindow.

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/AppBrand.h"
#include "app/RecentFiles.h"
#include "document/TessalineDoc.h"
#include "wizard/History.h"
#include "wizard/ImportPositions.h"
#include "wizard/MainCommands.h"
#include "wizard/MeasureStep.h"
#include "wizard/RunWizard.h"

class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // Message boxes owned by the main window.
    virtual Threading::IPrompt& Prompt() = 0;
    // File dialogs; nothing when cancelled.
    virtual std::optional<std::filesystem::path> AskSaveFileName(
        const std::filesystem::path& suggestion) = 0;
    virtual std::optional<std::filesystem::path> AskOpenFileName() = 0;
    // File > Import's dialog: measurement and impulse files; none when cancelled.
    virtual std::vector<std::filesystem::path> AskImportFileNames() { return {}; }
    // The parent of the wizards' dialogs (may be null).
    virtual Threading::IWindow* WizardParent() = 0;
    // Graph title, rescale and repaint; swatches; caption and recent-file menu.
    virtual void ShowDocument() = 0;
    // Repaints the graph and the swatches with the document's colours, and the caption.
    virtual void Repaint() = 0;
    // While a wizard runs the document's data is with its step: the graph draws the document as
    // it was when the wizard began, until it is released.
    virtual void HoldDocument(bool hold) { (void)hold; }
    // While Measure or Verify runs: the document drawn instead, with the positions measured so
    // far and their average, until the hold is released; with `positions` their curves are drawn
    // whatever the window's switch says.
    virtual void ShowMeasuring(const DocData& shown, bool positions) {
        (void)shown;
        (void)positions;
    }
};

class MainPresenter : public IMainView, private IWizardDocument {
public:
    // document, window and everything environment refers to must outlive the presenter.
    MainPresenter(CTessalineDoc& document, IMainWindow& window, WizardEnvironment environment,
                  const BrandResources& brand, bool simulated);

    // IMainView. A wizard whose step succeeded but whose save did not happen (declined or
    // failed) counts as failed, after a box saying so, except Upload: the subwoofer has been
    // written and the document is unchanged.
    bool RunWizard(int kind, uint32_t options) override;
    void Refresh() override { window_.ShowDocument(); }
    bool HasResults() override { return !document_.Data().results.empty(); }
    Threading::IPrompt& Prompt() override { return window_.Prompt(); }
    std::wstring ApplicationTitle() const override { return brand_.title; }

    // File commands; each true when it did what it was asked.
    bool NewDocument();
    bool OpenDocument(const std::filesystem::path& path);
    bool Open();  // asks for the file
    bool Save();
    bool SaveAs();
    // Writes to path; when that fails, says which file and why and asks for another name.
    bool SaveTo(std::filesystem::path path);
    // Before the document is replaced or the program ends: a modified document asks to be
    // saved. False: stay.
    bool ConfirmDiscard();

    // Colours from the colour dialog's OK; a change marks the document modified.
    void SetColours(const std::array<uint32_t, 3>& colours);

    // The positions panel's drop of position `index` (0-based): refused below the positions a
    // measurement takes, otherwise asked, dropped and recalculated. The last drop can be undone
    // until the next measurement (or another document).
    bool DropPosition(size_t index);
    bool CanUndo() const { return undo_ != nullptr; }

    // File > Import: asks for the files, and for the subwoofer's model when the document has
    // none, adds them as positions (ImportPositions) and calculates, as after a drop. A refused
    // file is named in a box and the document is left as it was. Sound files are read with the
    // reader given here (none: they are refused).
    bool Import();
    void SetImpulseReader(ImpulseReader reader) { impulseReader_ = std::move(reader); }
    std::wstring UndoText() const;  // "&Undo Drop Position N"
    bool Undo();

    // "Untitled - Tessaline", "name.CVD - Tessaline", with "*" after the name while the
    // document has unsaved changes; " (simulation)" appended when simulated.
    std::wstring WindowTitle() const;
    std::wstring DocumentName() const;
    std::wstring GraphTitle() const { return document_.Data().name; }

    // File > History's Restore: record number (from 1) written back by the Restore wizard, its
    // step made by the function SetRestoreStep gives (none: Restore does nothing).
    void SetRestoreStep(std::function<StepFunction(const History::Record&, int)> make) {
        makeRestore_ = std::move(make);
    }
    bool RestoreRecord(const History::Record& record, int number);
    // A position that the running Measure or Verify has measured (UI thread; the step's
    // report travels through the bridge): drawn with the others so far and their average.
    void PositionMeasured(const SettleProgress& progress);

    // Runs after every wizard, on the UI thread once its worker has ended (the simulation's
    // state is saved there).
    void SetAfterWizard(std::function<void()> hook) { afterWizard_ = std::move(hook); }

    RecentFileList& Recent() { return recent_; }
    CTessalineDoc& Document() { return document_; }
    const BrandResources& Brand() const { return brand_; }
    // The message of the last wizard that failed by raising (empty otherwise).
    const std::wstring& LastFailure() const { return lastFailure_; }

private:
    // IWizardDocument: the wizard's save after a successful step.
    DocData& Data() override { return document_.Data(); }
    void SetModifiedFlag(bool modified) override { document_.SetModifiedFlag(modified); }
    bool DoFileSave() override;

    CTessalineDoc& document_;
    IMainWindow& window_;
    WizardEnvironment environment_;
    const BrandResources& brand_;
    bool simulated_;
    RecentFileList recent_{kRecentFileCount};
    std::wstring lastFailure_;
    std::function<void()> afterWizard_;
    std::function<StepFunction(const History::Record&, int)> makeRestore_;
    ImpulseReader impulseReader_;
    bool saveMissed_ = false;  // the running wizard's save did not happen
    // What the window draws while Measure or Verify runs, and the positions measured so far.
    std::unique_ptr<DocData> live_;
    bool liveVerify_ = false;
    std::vector<CurvePtr> livePositions_;
    std::vector<PositionQuality> liveQuality_;
    std::unique_ptr<DocData> undo_;  // the document before the last drop
    int undoPosition_ = 0;           // 1-based
};

// "The document could not be saved to "<file>".\n<reason>\nChoose another file name?"
std::wstring SaveFailedText(const std::filesystem::path& path, const std::wstring& reason);
// Why Save asks for another name for a file it cannot write: "The document "<file>" cannot be
// written: <reason>.\nChoose another file name to save it."
std::wstring SaveElsewhereText(const std::filesystem::path& path, const std::wstring& reason);
// Shown with the step's "<step> failed." line when a wizard's save did not happen.
inline constexpr wchar_t kNotSavedText[] =
    L"The measurements are kept in the open document but were not saved.";
inline constexpr wchar_t kSaveChangesText[] = L"Save changes to %1?";
// Asked before importing into a document that names no subwoofer model.
inline constexpr wchar_t kImportModelPrompt[] = L"Which subwoofer was measured?";
