#include "app/HistoryPresenter.h"

#include <algorithm>
#include <charconv>

#include "sublink/BaseConfig.h"
#include "threading/Errors.h"

namespace {

std::wstring Wide(const std::string& text) {
    return tsl::FromUtf8(text);
}

std::wstring KindText(const History::Record& r) {
    if (r.kind == History::kUpload)
        return L"Upload";
    if (r.kind == History::kErase)
        return L"Erase";
    if (r.kind == History::kFound)
        return kFoundKindText;
    return L"Restore of " + std::to_wstring(r.restoredFrom);
}

std::wstring ModelName(uint16_t id) {
    for (const CUsbController::BaseConfig* model : CUsbController::RegisteredModels())
        if (model->modelId == id)
            return model->displayName + L" (" + std::to_wstring(id) + L")";
    return L"Model " + std::to_wstring(id);
}

}  // namespace

std::vector<uint16_t> ModelsWithHistory(const std::filesystem::path& folder) {
    std::vector<uint16_t> models;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        constexpr std::string_view prefix = "model-", suffix = ".json";
        if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
            !name.ends_with(suffix))
            continue;
        unsigned id = 0;
        const char* first = name.data() + prefix.size();
        const char* last = name.data() + name.size() - suffix.size();
        const auto [end2, error] = std::from_chars(first, last, id);
        if (error == std::errc() && end2 == last && id <= 0xFFFF)
            models.push_back(static_cast<uint16_t>(id));
    }
    std::sort(models.begin(), models.end());
    return models;
}

HistoryPresenter::HistoryPresenter(IHistoryView& view, std::filesystem::path folder,
                                   uint16_t documentModel, RestoreFunction restore)
    : view_(view),
      folder_(std::move(folder)),
      documentModel_(documentModel),
      restore_(std::move(restore)) {}

void HistoryPresenter::Start() {
    models_ = folder_.empty() ? std::vector<uint16_t>{} : ModelsWithHistory(folder_);
    std::vector<std::wstring> names;
    for (uint16_t id : models_)
        names.push_back(ModelName(id));
    const auto it = std::find(models_.begin(), models_.end(), documentModel_);
    model_ = models_.empty()       ? -1
             : it != models_.end() ? static_cast<int>(it - models_.begin())
                                   : 0;
    view_.ShowSubwoofers(names, model_);
    Reload();
}

void HistoryPresenter::ChooseSubwoofer(int index) {
    if (index < 0 || index >= static_cast<int>(models_.size()) || index == model_)
        return;
    model_ = index;
    Reload();
}

void HistoryPresenter::SelectRecord(int row) {
    selected_ = row >= 0 && row < static_cast<int>(book_.records.size()) ? row : -1;
    view_.EnableRestore(selected_ >= 0 &&
                        !book_.records[static_cast<size_t>(selected_)].block.empty());
}

void HistoryPresenter::Restore() {
    if (selected_ < 0 || !restore_)
        return;
    const int number = selected_ + 1;
    const History::Record record = book_.records[static_cast<size_t>(selected_)];
    const bool restored = restore_(record, number);
    Reload();
    if (restored)
        view_.ShowNotice(L"Record " + std::to_wstring(number) +
                         L" has been written back into the subwoofer.");
}

void HistoryPresenter::Reload() {
    book_ = {};
    selected_ = -1;
    std::wstring notice;
    if (folder_.empty())
        notice = kNoHistoryFolderText;
    else if (model_ < 0)
        notice = kNoHistoryText;
    else
        try {
            book_ = History::Load(History::FilePath(folder_, models_[static_cast<size_t>(model_)]));
            notice = book_.notice;
        } catch (const std::exception& e) {
            notice = tsl::ExceptionText(e);
        }
    std::vector<HistoryRow> rows;
    for (size_t i = 0; i < book_.records.size(); ++i) {
        const History::Record& r = book_.records[i];
        const auto name = r.documentPath.filename().u8string();
        rows.push_back({std::to_wstring(i + 1), Wide(r.date), KindText(r),
                        Wide(std::string(name.begin(), name.end())),
                        Wide(History::ChecksumText(r.checksum))});
    }
    view_.ShowRecords(rows);
    view_.ShowNotice(notice);
    view_.EnableRestore(false);
}
