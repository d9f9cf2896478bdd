#include "wizard/CalculateStepConsole.h"

#include <algorithm>
#include <string>
#include <vector>

#include "correction/TargetSlope.h"
#include "wizard/ProcDialog.h"
#include "wizard/TargetPresenter.h"

namespace {

// The menu offers frequencies in steps of at least this.
constexpr int32_t kMenuStep = 5;

struct Entry {
    enum Kind { Ok, Field, AutoDetect, ClassicFit, CutsOnly, FitUpper, ClearFile } kind;
    TargetField field = TargetField::Crossover;
};

std::wstring ValueText(const TargetFieldInfo& info, int32_t value) {
    switch (info.kind) {
        case TargetFieldKind::SlopeOrder:
            return std::wstring(SlopeOrderText(value));
        case TargetFieldKind::Tenths: {
            std::wstring text = value < 0 ? L"-" : L"";
            const int32_t magnitude = value < 0 ? -value : value;
            text += std::to_wstring(magnitude / 10) + L"." + std::to_wstring(magnitude % 10);
            return text + L" " + info.unit;
        }
        case TargetFieldKind::Hertz:
            break;
    }
    return std::to_wstring(value) + L" " + info.unit;
}

bool IsHouseField(TargetField field) {
    return static_cast<std::size_t>(field) > static_cast<std::size_t>(TargetField::MinEq);
}

std::wstring YesNo(bool yes) {
    return yes ? L"yes" : L"no";
}

// The rule's values from low to high in menu steps, its maximum always offered.
std::vector<int32_t> Values(const TargetFieldRule& rule) {
    std::vector<int32_t> values;
    const int32_t step = std::max(rule.step, kMenuStep);
    for (int32_t f = rule.minimum; f < rule.maximum; f += step)
        values.push_back(f);
    values.push_back(rule.maximum);
    return values;
}

// Picks a new value of the field; nothing when cancelled.
std::optional<int32_t> Pick(Threading::IPrompt& prompt, const TargetFieldInfo& info,
                            const TargetFieldRule& rule) {
    if (info.kind == TargetFieldKind::SlopeOrder) {
        std::vector<std::wstring> orders(kSlopeOrderTexts.begin(), kSlopeOrderTexts.end());
        auto order = prompt.Choose(info.caption, orders);
        if (!order || *order >= orders.size())
            return std::nullopt;
        return static_cast<int32_t>(*order);
    }
    const std::vector<int32_t> values = Values(rule);
    std::vector<std::wstring> texts;
    for (int32_t f : values)
        texts.push_back(ValueText(info, f));
    auto chosen = prompt.Choose(info.caption, texts);
    if (!chosen || *chosen >= values.size())
        return std::nullopt;
    return values[*chosen];
}

// The console draws its menu from the presenter each round; nothing is typed.
class MenuView final : public ITargetView {
public:
    void DrawField(TargetField, const TargetFieldRule&, int32_t) override {}
    void DrawClassicFit(bool, bool) override {}
    void DrawCommands(bool) override {}
    bool CommitField(TargetField, int32_t&) override { return true; }
};

}  // namespace

ConsoleTargetDialog::ConsoleTargetDialog(Threading::IPrompt& prompt, const DocData& data)
    : prompt_(prompt), data_(data) {}

bool ConsoleTargetDialog::DoModal(TargetSettings& settings) {
    MenuView view;
    TargetPresenter presenter(view, DetectAtOnce(data_));
    presenter.Show(settings);
    for (int round = 0; round < kMaxRounds; ++round) {
        // OK first, so a preset "yes" accepts the settings shown.
        std::vector<Entry> entries{{Entry::Ok}};
        std::vector<std::wstring> texts{L"OK"};
        // The seed's fields, then its commands, then the house curve and the limits.
        const auto fields = [&](bool house) {
            for (const TargetFieldInfo& info : TargetFields()) {
                if (IsHouseField(info.field) != house || !presenter.Rule(info.field).enabled)
                    continue;
                entries.push_back({Entry::Field, info.field});
                texts.push_back(std::wstring(info.caption) + L": " +
                                ValueText(info, presenter.Value(info.field)));
            }
        };
        fields(false);
        entries.push_back({Entry::AutoDetect});
        texts.push_back(L"Auto Detect");
        entries.push_back({Entry::ClassicFit});
        const bool classic = presenter.Settings().fit == FitMethod::Classic;
        texts.push_back(kClassicFitEntry + YesNo(classic));
        fields(true);
        entries.push_back({Entry::CutsOnly});
        texts.push_back(kCutsOnlyEntry + YesNo(presenter.CutsOnly()));
        entries.push_back({Entry::FitUpper});
        texts.push_back(kFitUpperEntry + YesNo(presenter.FitUpper()));
        // Files are named on the command line; a document's own can be cleared here.
        if (const auto& file = presenter.Settings().house.file) {
            entries.push_back({Entry::ClearFile});
            texts.push_back(kHouseFileEntry + file->name + L" (choose for None)");
        }

        auto chosen = prompt_.Choose(kTargetDialogCaption, texts);
        if (!chosen || *chosen >= entries.size())
            return false;
        const Entry entry = entries[*chosen];
        switch (entry.kind) {
            case Entry::Ok:
                if (presenter.Accept()) {
                    settings = presenter.Settings();
                    return true;
                }
                break;
            case Entry::Field:
                if (auto value = Pick(prompt_, FieldInfo(entry.field), presenter.Rule(entry.field)))
                    presenter.SetValue(entry.field, *value);
                break;
            case Entry::AutoDetect:
                presenter.AutoDetect();
                break;
            case Entry::ClassicFit:
                presenter.SetClassicFit(!classic);
                break;
            case Entry::CutsOnly:
                presenter.SetCutsOnly(!presenter.CutsOnly());
                break;
            case Entry::FitUpper:
                presenter.SetFitUpper(!presenter.FitUpper());
                break;
            case Entry::ClearFile:
                presenter.ClearHouseFile();
                break;
        }
    }
    return false;
}

TargetDialogFactory ConsoleTargetDialogFactory() {
    return [](IProcDialog& owner, const DocData& data) -> std::unique_ptr<ITargetDialog> {
        return std::make_unique<ConsoleTargetDialog>(owner.Prompt(), data);
    };
}
