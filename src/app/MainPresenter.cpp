#include "app/MainPresenter.h"

#include "threading/Errors.h"
#include "threading/SafeFile.h"

using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;

MainPresenter::MainPresenter(CTessalineDoc& document, IMainWindow& window,
                             WizardEnvironment environment, const BrandResources& brand,
                             bool simulated)
    : document_(document),
      window_(window),
      environment_(std::move(environment)),
      brand_(brand),
      simulated_(simulated) {}

bool MainPresenter::RunWizard(int kind, uint32_t options) {
    return ::RunWizard(kind, window_.WizardParent(), *this, options, environment_, &lastFailure_);
}

bool MainPresenter::NewDocument() {
    if (!ConfirmDiscard())
        return false;
    document_.OnNewDocument();
    window_.ShowDocument();
    return true;
}

bool MainPresenter::OpenDocument(const std::filesystem::path& path) {
    bool opened = false;
    try {
        opened = document_.OnOpenDocument(path);
    } catch (const std::exception& e) {
        Prompt().MessageBox(tsl::ExceptionText(e), brand_.title, MsgButtons::Ok, MsgIcon::Error);
    }
    if (opened)
        recent_.Add(path.wstring());
    else
        recent_.Remove(path.wstring());
    window_.ShowDocument();
    return opened;
}

bool MainPresenter::Open() {
    if (!ConfirmDiscard())
        return false;
    std::optional<std::filesystem::path> path = window_.AskOpenFileName();
    return path && OpenDocument(*path);
}

bool MainPresenter::Save() {
    const std::filesystem::path& path = document_.PathName();
    if (path.empty() || Threading::IsReadOnlyFile(path))
        return SaveAs();
    return SaveTo(path);
}

bool MainPresenter::SaveAs() {
    std::filesystem::path suggestion = document_.PathName();
    if (suggestion.empty())
        suggestion = document_.Data().name + brand_.extension;
    std::optional<std::filesystem::path> path = window_.AskSaveFileName(suggestion);
    return path && !path->empty() && SaveTo(*path);
}

bool MainPresenter::SaveTo(std::filesystem::path path) {
    for (;;) {
        try {
            if (document_.OnSaveDocument(path)) {
                recent_.Add(path.wstring());
                window_.ShowDocument();
                return true;
            }
        } catch (const std::exception& e) {
            // The data stays in the open document whatever the user answers.
            if (Prompt().MessageBox(SaveFailedText(path, tsl::ExceptionText(e)), brand_.title,
                                    MsgButtons::YesNo, MsgIcon::Error) != MsgResult::Yes)
                return false;
            std::optional<std::filesystem::path> other = window_.AskSaveFileName(path);
            if (!other || other->empty())
                return false;
            path = *other;
            continue;
        }
        return false;
    }
}

bool MainPresenter::ConfirmDiscard() {
    if (!document_.IsModified())
        return true;
    std::wstring text = kSaveChangesText;
    text.replace(text.find(L"%1"), 2, DocumentName());
    switch (Prompt().MessageBox(text, brand_.title, MsgButtons::YesNoCancel, MsgIcon::Warning)) {
        case MsgResult::Yes:
            return Save();
        case MsgResult::No:
            return true;
        default:
            return false;
    }
}

void MainPresenter::SetColours(const std::array<uint32_t, 3>& colours) {
    document_.Data().colours = colours;
    window_.Repaint();
}

std::wstring MainPresenter::DocumentName() const {
    const std::filesystem::path& path = document_.PathName();
    return path.empty() ? std::wstring(L"Untitled") : path.filename().wstring();
}

std::wstring MainPresenter::WindowTitle() const {
    std::wstring title = DocumentName() + L" - " + brand_.title;
    if (simulated_)
        title += L" (simulation)";
    return title;
}

std::wstring SaveFailedText(const std::filesystem::path& path, const std::wstring& reason) {
    return L"The document could not be saved to \"" + path.wstring() + L"\".\n" + reason +
           L"\nThe measurements are still open. Choose another file name?";
}
