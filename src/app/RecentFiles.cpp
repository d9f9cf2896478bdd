#include "app/RecentFiles.h"

#include <algorithm>
#include <filesystem>

namespace {

// Two spellings of one file count as one entry.
std::wstring Key(const std::wstring& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
    return ec ? std::filesystem::path(path).lexically_normal().wstring() : p.wstring();
}

}  // namespace

void RecentFileList::Add(const std::wstring& path) {
    if (path.empty())
        return;
    Remove(path);
    entries_.insert(entries_.begin(), path);
    if (entries_.size() > capacity_)
        entries_.resize(capacity_);
}

void RecentFileList::Remove(const std::wstring& path) {
    const std::wstring key = Key(path);
    std::erase_if(entries_, [&](const std::wstring& e) { return Key(e) == key; });
}

void RecentFileList::Load(const std::vector<std::wstring>& entries) {
    entries_.clear();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        Add(*it);
}

std::wstring RecentMenuText(size_t index, const std::wstring& path) {
    return L"&" + std::to_wstring(index + 1) + L" " +
           std::filesystem::path(path).filename().wstring();
}
