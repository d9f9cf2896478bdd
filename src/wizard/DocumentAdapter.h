#pragma once
// The open document as the wizard sees it, with the ordinary save command: write to the
// document's file when it has one that is writable, otherwise ask for a file name first.

#include <filesystem>
#include <functional>
#include <optional>

#include "document/TessalineDoc.h"
#include "wizard/RunWizard.h"

class DocumentAdapter : public IWizardDocument {
public:
    // Returns the file to save an untitled or read-only document to; nothing cancels.
    using AskFileName = std::function<std::optional<std::filesystem::path>()>;

    DocumentAdapter(CTessalineDoc& document, AskFileName askFileName);

    DocData& Data() override { return document_.Data(); }
    void SetModifiedFlag(bool modified) override { document_.SetModifiedFlag(modified); }
    bool DoFileSave() override;

private:
    CTessalineDoc& document_;
    AskFileName askFileName_;
};
