#include "app/MainPresenter.h"

#include <utility>

#include "measure/Curve.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "threading/SafeFile.h"
#include "wizard/Positions.h"

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
    saveMissed_ = false;
    window_.HoldDocument(true);
    if (kind == kWizardMeasure || kind == kWizardVerify) {
        live_ = std::make_unique<DocData>();
        live_->CopyFrom(document_.Data());
        liveVerify_ = kind == kWizardVerify;
    }
    const bool ok =
        ::RunWizard(kind, window_.WizardParent(), *this, options, environment_, &lastFailure_);
    live_.reset();
    livePositions_.clear();
    liveQuality_.clear();
    window_.HoldDocument(false);
    if (afterWizard_)
        afterWizard_();
    if (ok && (kind == kWizardMeasure || kind == kWizardVerify))
        undo_.reset();
    if (!ok)
        window_.Repaint();  // the document as it was before the wizard
    if (!ok || !saveMissed_ || kind == kWizardUpload)
        return ok;
    // The results are in the open document only: the chain stops here.
    const std::vector<WizardStep> steps = StepsForKind(kind, options, environment_.steps);
    lastFailure_ = std::wstring(kNotSavedText) + L"\n" +
                   (steps.empty() ? std::wstring() : steps.front().name) + L" failed.";
    window_.ShowDocument();
    Prompt().MessageBox(lastFailure_, brand_.title, MsgButtons::Ok, MsgIcon::Error);
    return false;
}

bool MainPresenter::RestoreRecord(const History::Record& record, int number) {
    if (!makeRestore_)
        return false;
    // The Restore wizard is the upload wizard with the restore step in the upload's place.
    StepFunction upload = std::exchange(environment_.steps.upload, makeRestore_(record, number));
    const bool ok = RunWizard(kWizardUpload, kOptionRestore | kOptionNoSave);
    environment_.steps.upload = std::move(upload);
    return ok;
}

void MainPresenter::PositionMeasured(const SettleProgress& progress) {
    if (!live_ || !progress.response || progress.position < 0)
        return;
    const size_t at = static_cast<size_t>(progress.position);
    if (livePositions_.size() <= at) {
        livePositions_.resize(at + 1);
        liveQuality_.resize(at + 1);
    }
    livePositions_[at] = progress.response;
    liveQuality_[at] = progress.quality;
    std::vector<CurvePtr> measured;
    std::vector<PositionQuality> quality;
    for (size_t i = 0; i < livePositions_.size(); ++i)
        if (livePositions_[i]) {
            measured.push_back(livePositions_[i]);
            quality.push_back(liveQuality_[i]);
        }
    const CurvePtr average = PowerAverage(measured);
    if (liveVerify_) {
        live_->verified = average;
        live_->verifiedPositions = static_cast<int32_t>(measured.size());
    } else {
        // A new measurement: its positions and their average, nothing calculated yet.
        live_->measurements = std::move(measured);
        live_->positionQuality = std::move(quality);
        live_->results = {average};
        live_->eq = EqResult{};
        live_->verified.reset();
        live_->positionEffects.clear();
    }
    window_.ShowMeasuring(*live_, !liveVerify_);
}

bool MainPresenter::DoFileSave() {
    const bool saved = Save();
    saveMissed_ = !saved;
    return saved;
}

bool MainPresenter::NewDocument() {
    if (!ConfirmDiscard())
        return false;
    undo_.reset();
    document_.OnNewDocument();
    window_.ShowDocument();
    return true;
}

bool MainPresenter::OpenDocument(const std::filesystem::path& path) {
    bool opened = false;
    undo_.reset();
    try {
        opened = document_.OnOpenDocument(path);
    } catch (const std::exception& e) {
        Prompt().MessageBox(OpenFailedText(path, tsl::ExceptionText(e)), brand_.title,
                            MsgButtons::Ok, MsgIcon::Error);
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
    if (path.empty())
        return SaveAs();
    const std::wstring readOnly = Threading::ReadOnlyReason(path);
    if (!readOnly.empty()) {
        // Says why the file dialog appears.
        if (Prompt().MessageBox(SaveElsewhereText(path, readOnly), brand_.title,
                                MsgButtons::OkCancel, MsgIcon::Warning) != MsgResult::Ok)
            return false;
        return SaveAs();
    }
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
    if (document_.Data().colours != colours) {
        document_.Data().colours = colours;
        document_.SetModifiedFlag(true);
    }
    window_.Repaint();
}

bool MainPresenter::DropPosition(size_t index) {
    auto before = std::make_unique<DocData>();
    before->CopyFrom(document_.Data());
    bool calculated = false;
    if (DropPositionCommand(*this, document_.Data(), index, &calculated) != DropOutcome::Dropped)
        return false;
    undo_ = std::move(before);
    undoPosition_ = static_cast<int>(index + 1);
    // A failed recalculation leaves the drop in the open document only.
    if (!calculated)
        document_.SetModifiedFlag(true);
    window_.ShowDocument();
    return calculated;
}

bool MainPresenter::Import() {
    const std::vector<std::filesystem::path> files = window_.AskImportFileNames();
    if (files.empty())
        return false;
    DocData& data = document_.Data();
    std::optional<uint16_t> model;
    if (CUsbController::FindModelById(data.modelId) == nullptr) {
        const std::vector<const CUsbController::BaseConfig*> models =
            CUsbController::RegisteredModels();
        std::vector<std::wstring> names;
        for (const CUsbController::BaseConfig* m : models)
            names.push_back(m->displayName);
        const std::optional<size_t> chosen = Prompt().Choose(kImportModelPrompt, names);
        if (!chosen || *chosen >= models.size())
            return false;
        model = models[*chosen]->modelId;
    }
    try {
        ImportPositions(data, files, impulseReader_, model);
    } catch (const std::exception& e) {
        Prompt().MessageBox(tsl::ExceptionText(e), brand_.title, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    // Undoing an earlier drop would take the imported positions away again.
    undo_.reset();
    document_.SetModifiedFlag(true);
    window_.ShowDocument();
    const bool calculated = RunWizard(kWizardCalculate, 0);
    window_.ShowDocument();
    return calculated;
}

std::wstring MainPresenter::UndoText() const {
    if (!undo_)
        return L"&Undo";
    return L"&Undo Drop Position " + std::to_wstring(undoPosition_);
}

bool MainPresenter::Undo() {
    if (!undo_)
        return false;
    document_.Data().MoveFrom(*undo_);
    undo_.reset();
    document_.SetModifiedFlag(true);
    window_.ShowDocument();
    return true;
}

std::wstring MainPresenter::DocumentName() const {
    const std::filesystem::path& path = document_.PathName();
    return path.empty() ? std::wstring(L"Untitled") : path.filename().wstring();
}

std::wstring MainPresenter::WindowTitle() const {
    std::wstring title =
        DocumentName() + (document_.IsModified() ? L"*" : L"") + L" - " + brand_.title;
    if (simulated_)
        title += L" (simulation)";
    return title;
}

std::wstring SaveFailedText(const std::filesystem::path& path, const std::wstring& reason) {
    return L"The document could not be saved to \"" + path.wstring() + L"\".\n" + reason +
           L"\nThe measurements are still open. Choose another file name?";
}

std::wstring SaveElsewhereText(const std::filesystem::path& path, const std::wstring& reason) {
    return L"The document \"" + path.wstring() + L"\" cannot be written: " + reason +
           L".\nChoose another file name to save it.";
}
