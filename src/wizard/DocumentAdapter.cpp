#include "wizard/DocumentAdapter.h"

#include <system_error>

namespace {

bool Writable(const std::filesystem::path& path) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return !path.empty();  // a new file
    return (status.permissions() & std::filesystem::perms::owner_write) !=
           std::filesystem::perms::none;
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
