#include "wizard/DocumentAdapter.h"

#include "threading/SafeFile.h"

namespace {

bool Writable(const std::filesystem::path& path) {
    return !path.empty() && !Threading::IsReadOnlyFile(path);
}

}  // namespace

DocumentAdapter::DocumentAdapter(CTessalineDoc& document, AskFileName askFileName)
    : document_(document), askFileName_(std::move(askFileName)) {}

bool DocumentAdapter::DoFileSave() {
    std::filesystem::path path = document_.PathName();
    if (path.empty() || !Writable(path)) {
        std::optional<std::filesystem::path> chosen = askFileName_ ? askFileName_() : std::nullopt;
        if (!chosen || chosen->empty())
            return false;
        path = *chosen;
    }
    return document_.OnSaveDocument(path);
}
