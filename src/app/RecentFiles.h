#pragma once
// The recent-file list: most recent first, no duplicates, at most a fixed number of entries.

#include <cstddef>
#include <string>
#include <vector>

class RecentFileList {
public:
    explicit RecentFileList(size_t capacity) : capacity_(capacity) {}

    // Moves path to the front (adding it when new), dropping the oldest beyond capacity.
    void Add(const std::wstring& path);
    void Remove(const std::wstring& path);
    // Entries as stored; empty ones and duplicates are dropped.
    void Load(const std::vector<std::wstring>& entries);
    const std::vector<std::wstring>& Entries() const { return entries_; }
    size_t Capacity() const { return capacity_; }

private:
    size_t capacity_;
    std::vector<std::wstring> entries_;
};

// "1 name" ... the menu text of entry index: its number as mnemonic and the file's name.
std::wstring RecentMenuText(size_t index, const std::wstring& path);
