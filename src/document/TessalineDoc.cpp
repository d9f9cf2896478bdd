#include "document/TessalineDoc.h"

#include "document/DocFile.h"

const wchar_t* DocTemplateString(Brand brand) {
    return brand == Brand::Main ? L"Tessaline\n\nTessaline\nTessaline Files (*.CVD)\n.CVD\n"
                                  L"Tessaline.Document\nTessaline.Document"
                                : L"Tessaline(KV)\n\nTessaline(KV)\nTessaline(KV) Files "
                                  L"(*.KTSL)\n.KTSL\nTessaline.Document\nTessaline.Document";
}

const wchar_t* DocFileExtension(Brand brand) {
    return brand == Brand::Main ? L".CVD" : L".KTSL";
}

std::wstring OpenFailedText(const std::filesystem::path& path, const std::wstring& reason) {
    return L"The document \"" + path.wstring() + L"\" could not be opened:\n" + reason;
}

CTessalineDoc::CTessalineDoc(Threading::IPrompt* prompt) : prompt_(prompt) {}

bool CTessalineDoc::OnNewDocument() {
    data_.Reset();
    path_.clear();
    modified_ = false;
    return true;
}

bool CTessalineDoc::OnOpenDocument(const std::filesystem::path& path) {
    data_.Reset();
    path_.clear();
    modified_ = false;
    try {
        CArchive ar = CArchive::OpenForLoad(path);
        Serialize(ar);
    } catch (const BadFileFormat& e) {
        // Not kept as opened: saving over a file of an unknown version would destroy it.
        if (prompt_)
            prompt_->MessageBox(OpenFailedText(path, e.wwhat()), L"", Threading::MsgButtons::Ok,
                                Threading::MsgIcon::Error);
        return false;
    }
    path_ = path;
    return true;
}

bool CTessalineDoc::OnSaveDocument(const std::filesystem::path& path) {
    WriteDocFile(path, data_);
    path_ = path;
    modified_ = false;
    return true;
}

void CTessalineDoc::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        WriteDocData(ar, data_);
    else
        ReadDocData(ar, data_);
}
