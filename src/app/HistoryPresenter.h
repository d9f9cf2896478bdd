#pragma once
// File > History: the records of one subwoofer's history (one per model), chosen among the
// histories in the folder, and the selected one written back through the Restore wizard. The
// dialog draws through IHistoryView and forwards the user's choices here.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "wizard/History.h"

struct HistoryRow {
    std::wstring number;  // from 1
    std::wstring date;
    std::wstring kind;  // "Upload", "Erase", "Found in the subwoofer", "Restore of 2"
    std::wstring document;
    std::wstring checksum;
};

class IHistoryView {
public:
    virtual ~IHistoryView() = default;
    virtual void ShowSubwoofers(const std::vector<std::wstring>& names, int selected) = 0;
    virtual void ShowRecords(const std::vector<HistoryRow>& rows) = 0;
    // The line under the list: a damaged file moved aside, why nothing is listed, a failure.
    virtual void ShowNotice(const std::wstring& text) = 0;
    virtual void EnableRestore(bool enabled) = 0;
};

class HistoryPresenter {
public:
    // Writes record number (from 1) back into the subwoofer; true when it succeeded.
    using RestoreFunction = std::function<bool(const History::Record&, int)>;

    // folder: the histories (empty: none is kept); documentModel: the open document's model,
    // whose history is shown first when there is one.
    HistoryPresenter(IHistoryView& view, std::filesystem::path folder, uint16_t documentModel,
                     RestoreFunction restore);

    // Fills the view.
    void Start();
    void ChooseSubwoofer(int index);
    void SelectRecord(int row);  // -1: none
    // Restores the selected record, then lists the history again with the new record.
    void Restore();

private:
    void Reload();

    IHistoryView& view_;
    std::filesystem::path folder_;
    uint16_t documentModel_;
    RestoreFunction restore_;
    std::vector<uint16_t> models_;
    int model_ = -1;
    History::Book book_;
    int selected_ = -1;
};

// The models with a history file in folder, in identifier order.
std::vector<uint16_t> ModelsWithHistory(const std::filesystem::path& folder);

inline constexpr wchar_t kNoHistoryFolderText[] =
    L"No history is kept: the user's data folder is unknown.";
inline constexpr wchar_t kNoHistoryText[] = L"Nothing has been written into a subwoofer yet.";
inline constexpr wchar_t kFoundKindText[] = L"Found in the subwoofer";
