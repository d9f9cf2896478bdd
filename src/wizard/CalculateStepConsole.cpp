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
    enum Kind { Ok, Field, AutoDetect, ClassicFit } kind;
    TargetField field = TargetField::Crossover;
};

std::wstring Hz(int32_t value) {
    return std::to_wstring(value) + L" Hz";
}

std::wstring ValueText(const TargetFieldInfo& info, int32_t value) {
    return info.kind == TargetFieldKind::SlopeOrder ? std::wstring(SlopeOrderText(value))
                                                    : Hz(value);
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
        texts.push_back(Hz(f));
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
        for (const TargetFieldInfo& info : TargetFields()) {
            if (!presenter.Rule(info.field).enabled)
                continue;
            entries.push_back({Entry::Field, info.field});
            texts.push_back(std::wstring(info.caption) + L": " +
                            ValueText(info, presenter.Value(info.field)));
        }
        entries.push_back({Entry::AutoDetect});
        texts.push_back(L"Auto Detect");
        entries.push_back({Entry::ClassicFit});
        const bool classic = presenter.Settings().fit == FitMethod::Classic;
        texts.push_back(std::wstring(kClassicFitEntry) + (classic ? L"yes" : L"no"));

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
        }
    }
    return false;
}

TargetDialogFactory ConsoleTargetDialogFactory() {
    return [](IProcDialog& owner, const DocData& data) -> std::unique_ptr<ITargetDialog> {
        return std::make_unique<ConsoleTargetDialog>(owner.Prompt(), data);
    };
}
