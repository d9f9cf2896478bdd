#pragma once
// The single open measurement document: one DocData, its file name and modified flag.

#include <filesystem>
#include <string>

#include "document/DocData.h"
#include "measure/Archive.h"
#include "threading/Prompt.h"

enum class Brand { Main, Second };

// Document template strings: window title, document name, filter name, filter extension,
// registry file type, registry type name, newline-separated.
const wchar_t* DocTemplateString(Brand brand);
// ".CVD" or ".KTSL".
const wchar_t* DocFileExtension(Brand brand);
// A failure to open a document, naming it: "The document "<file>" could not be opened:\n" and
// the reason ("Bad file format", "The file is damaged or incomplete.", ...).
std::wstring OpenFailedText(const std::filesystem::path& path, const std::wstring& reason);

class CTessalineDoc {
public:
    // `prompt` (may be null) owns the "Bad file format" message box.
    explicit CTessalineDoc(Threading::IPrompt* prompt = nullptr);
    virtual ~CTessalineDoc() = default;

    DocData& Data() noexcept { return data_; }
    const DocData& Data() const noexcept { return data_; }

    // A fresh, reset document without a file.
    virtual bool OnNewDocument();
    // Resets, then reads the file. An unsupported version shows "Bad file format" with the
    // file's name (OpenFailedText) and returns false with the document reset; other read
    // failures raise CArchiveException, also with the document reset. Either way the previous
    // file name is dropped.
    virtual bool OnOpenDocument(const std::filesystem::path& path);
    // Writes version 8 safely (see WriteDocFile); raises CArchiveException on failure, leaving
    // the file name and modified flag unchanged.
    virtual bool OnSaveDocument(const std::filesystem::path& path);
    // Loads or stores DocData (loading raises BadFileFormat for an unsupported version).
    virtual void Serialize(CArchive& ar);

    const std::filesystem::path& PathName() const noexcept { return path_; }
    bool IsModified() const noexcept { return modified_; }
    void SetModifiedFlag(bool modified = true) noexcept { modified_ = modified; }

private:
    Threading::IPrompt* prompt_;
    DocData data_;
    std::filesystem::path path_;
    bool modified_ = false;
};
