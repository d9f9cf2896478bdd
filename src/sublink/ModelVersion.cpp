#include "sublink/ModelVersion.h"

#include <array>
#include <string_view>

#include "sublink/BaseConfig.h"
#include "sublink/Models.h"

namespace CUsbController {

namespace {

struct VersionPattern {
    std::wstring_view classes;
    std::wstring_view fields;
};

// Tried in order: the longest forms first, so a letter or a second major digit is never lost.
constexpr std::array<VersionPattern, 16> kPatterns{{
    {L"vII.IIA", L"v00.112"},
    {L"vI.IIA", L"v0.112"},
    {L"vII.II", L"v00.11"},
    {L"vI.II", L"v0.11"},
    {L"vIIIIA", L"v00112"},
    {L"vIIIA", L"v0112"},
    {L"vIIII", L"v0011"},
    {L"vIII", L"v011"},
    {L"II.IIA", L"00.112"},
    {L"I.IIA", L"0.112"},
    {L"II.II", L"00.11"},
    {L"I.II", L"0.11"},
    {L"IIIIA", L"00112"},
    {L"IIIA", L"0112"},
    {L"IIII", L"0011"},
    {L"III", L"011"},
}};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
bool IsLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool Fits(const VersionPattern& p, std::wstring_view text) {
    if (p.classes.size() != text.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t cls = p.classes[i];
        const wchar_t c = text[i];
        if (cls == L'I' ? !IsDigit(c) : cls == L'A' ? !IsLetter(c) : c != cls)
            return false;
    }
    return true;
}

// Patterns allow at most two digits per field, so this cannot overflow.
int32_t ReadDecimal(const std::wstring& digits) {
    int32_t value = 0;
    for (wchar_t c : digits)
        value = value * 10 + (c - L'0');
    return value;
}

enum class Rule { UpTo, Exactly };

struct Translation {
    uint16_t modelId;
    Rule rule;
    ModelVersion reported;
    ModelVersion becomes;
};

constexpr ModelVersion V(int32_t major, int32_t minor) {
    return ModelVersion{0, major, minor};
}

using namespace ModelId;

constexpr std::array<Translation, 16> kTranslations{{
    {kHalvern3, Rule::UpTo, V(0, 42), V(1, 1)},
    {kHalvern3, Rule::Exactly, V(0, 43), V(1, 2)},
    {kHalvern3, Rule::Exactly, V(0, 47), V(1, 3)},
    {kKettrin2, Rule::UpTo, V(0, 43), V(1, 1)},
    {kKettrin2, Rule::Exactly, V(0, 44), V(1, 2)},
    {kKettrin2, Rule::Exactly, V(0, 48), V(1, 3)},
    {kJorvan1, Rule::UpTo, V(0, 43), V(1, 1)},
    {kJorvan1, Rule::Exactly, V(0, 44), V(1, 2)},
    {kJorvan1, Rule::Exactly, V(0, 48), V(1, 3)},
    {kJorvan2, Rule::UpTo, V(0, 43), V(1, 1)},
    {kJorvan2, Rule::Exactly, V(0, 44), V(1, 2)},
    {kJorvan2, Rule::Exactly, V(0, 48), V(1, 3)},
    {kHalvern2, Rule::UpTo, V(0, 47), V(1, 0)},
    {kIstrel1, Rule::UpTo, V(0, 58), V(1, 0)},
    {kIstrel1, Rule::Exactly, V(0, 64), V(1, 1)},
    {kHalvern1, Rule::UpTo, V(0, 59), V(1, 0)},
}};

struct Minimum {
    uint16_t modelId;
    ModelVersion version;
};

constexpr std::array<Minimum, 4> kMinimums{{
    {kKettrin2, V(1, 2)},
    {kJorvan1, V(1, 2)},
    {kJorvan2, V(1, 2)},
    {kHalvern3, V(1, 2)},
}};

}  // namespace

ModelVersion TranslateVersion(const ModelVersion& reported, const BaseConfig* model) {
    if (model == nullptr)
        return reported;
    for (const Translation& t : kTranslations) {
        if (t.modelId != model->modelId)
            continue;
        const bool matches =
            t.rule == Rule::UpTo ? !(reported > t.reported) : reported == t.reported;
        if (matches)
            return t.becomes;
    }
    return reported;
}

bool ParseFirmwareVersion(const std::wstring& text, const BaseConfig* model,
                          ModelVersion& version) {
    for (const VersionPattern& p : kPatterns) {
        if (!Fits(p, text))
            continue;
        std::wstring major, minor, letter;
        for (size_t i = 0; i < text.size(); ++i) {
            switch (p.fields[i]) {
                case L'0':
                    major += text[i];
                    break;
                case L'1':
                    minor += text[i];
                    break;
                case L'2':
                    letter += text[i];
                    break;
                default:
                    break;
            }
        }
        ModelVersion parsed;
        parsed.letter = letter.empty() ? 0 : static_cast<uint16_t>(letter[0]);
        parsed.major = ReadDecimal(major);
        parsed.minor = ReadDecimal(minor);
        version = TranslateVersion(parsed, model);
        return true;
    }
    return false;
}

std::wstring FormatVersion(const ModelVersion& version) {
    std::wstring text = std::to_wstring(version.major) + L'.';
    if (version.minor >= 0 && version.minor < 10)
        text += L'0';
    text += std::to_wstring(version.minor);
    if (version.letter != 0)
        text += static_cast<wchar_t>(version.letter);
    return text;
}

ModelVersion MinimumVersion(const BaseConfig* model) {
    if (model != nullptr) {
        for (const Minimum& m : kMinimums) {
            if (m.modelId == model->modelId)
                return m.version;
        }
    }
    return V(0, 0);
}

std::wstring FirmwarePageAddress(const BaseConfig* model) {
    std::wstring address = L"https://www.corvana.com/";
    if (model != nullptr)
        address += std::wstring(model->shortCode.begin(), model->shortCode.end());
    return address;
}

}  // namespace CUsbController
