#pragma once
// The main window's logic without Qt: the command chains over the open document, the file
// commands (a failed save keeps the data and asks for another name), the recent-file list and
// the window title. The frame draws through IMainWindow.

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "app/AppBrand.h"
#include "app/RecentFiles.h"
#include "document/TessalineDoc.h"
#include "wizard/MainCommands.h"
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
    // The parent of the wizards' dialogs (may be null).
    virtual Threading::IWindow* WizardParent() = 0;
    // Graph title, rescale and repaint; swatches; caption and recent-file menu.
    virtual void ShowDocument() = 0;
    // Repaints the graph and the swatches with the document's colours.
    virtual void Repaint() = 0;
};

class MainPresenter : public IMainView, private IWizardDocument {
public:
    // document, window and everything environment refers to must outlive the presenter.
    MainPresenter(CTessalineDoc& document, IMainWindow& window, WizardEnvironment environment,
                  const BrandResources& brand, bool simulated);

    // IMainView
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

    // Colours from the colour dialog's OK; the document is not marked modified.
    void SetColours(const std::array<uint32_t, 3>& colours);

    // "Untitled - Tessaline", "name.CVD - Tessaline"; " (simulation)" appended when simulated.
    std::wstring WindowTitle() const;
    std::wstring DocumentName() const;
    std::wstring GraphTitle() const { return document_.Data().name; }

    RecentFileList& Recent() { return recent_; }
    CTessalineDoc& Document() { return document_; }
    const BrandResources& Brand() const { return brand_; }
    // The message of the last wizard that failed by raising (empty otherwise).
    const std::wstring& LastFailure() const { return lastFailure_; }

private:
    // IWizardDocument: the wizard's save after a successful step.
    DocData& Data() override { return document_.Data(); }
    void SetModifiedFlag(bool modified) override { document_.SetModifiedFlag(modified); }
    bool DoFileSave() override { return Save(); }

    CTessalineDoc& document_;
    IMainWindow& window_;
    WizardEnvironment environment_;
    const BrandResources& brand_;
    bool simulated_;
    RecentFileList recent_{kRecentFileCount};
    std::wstring lastFailure_;
};

// "The document could not be saved to "<file>".\n<reason>\nChoose another file name?"
std::wstring SaveFailedText(const std::filesystem::path& path, const std::wstring& reason);
inline constexpr wchar_t kSaveChangesText[] = L"Save changes to %1?";
