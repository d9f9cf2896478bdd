#include "app/AppBrand.h"

namespace {

// Field `index` of the newline-separated document template string.
std::wstring TemplateField(Brand brand, int index) {
    std::wstring text = DocTemplateString(brand);
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t next = text.find(L'\n', start);
        if (next == std::wstring::npos)
            return {};
        start = next + 1;
    }
    return text.substr(start, text.find(L'\n', start) - start);
}

BrandResources Make(Brand brand, std::wstring organisation, std::wstring fourthButton) {
    BrandResources r;
    r.brand = brand;
    r.organisation = std::move(organisation);
    r.application = L"Tessaline";
    r.title = TemplateField(brand, 0);
    r.extension = DocFileExtension(brand);
    r.filterName = TemplateField(brand, 3);
    r.strip = {L"Measure", L"Target", L"Upload", std::move(fourthButton), L"Colors", L"Auto Scale"};
    return r;
}

}  // namespace

const BrandResources& Resources(Brand brand) {
    static const BrandResources main = Make(Brand::Main, L"CorvanaElectronics", L"Erase");
    static const BrandResources second = Make(Brand::Second, L"Kestrova", L"Restore");
    return brand == Brand::Main ? main : second;
}

std::wstring StripMnemonicText(const std::wstring& text) {
    // The first letter not taken by the menu bar's F, E, T and H, nor by an earlier button.
    static const std::wstring kMarked[][2] = {
        {L"Measure", L"&Measure"},      {L"Target", L"Tar&get"},   {L"Upload", L"&Upload"},
        {L"Erase", L"E&rase"},          {L"Restore", L"&Restore"}, {L"Colors", L"&Colors"},
        {L"Auto Scale", L"Auto &Scale"}};
    for (const auto& pair : kMarked)
        if (pair[0] == text)
            return pair[1];
    return text;
}
