#include "wizard/CalculateStepConsole.h"

#include <string>
#include <vector>

#include "correction/TargetSlope.h"
#include "wizard/ProcDialog.h"

namespace {

enum class Entry { Ok, Crossover, Order, HighPass, MinEq, AutoDetect, ClassicFit };

std::wstring Hz(int32_t value) {
    return std::to_wstring(value) + L" Hz";
}

// Frequencies from low to high in steps, high always offered.
std::vector<int32_t> Frequencies(int32_t low, int32_t high, int32_t step) {
    std::vector<int32_t> values;
    for (int32_t f = low; f < high; f += step)
        values.push_back(f);
    values.push_back(high);
    return values;
}

// Picks one of values; false when cancelled.
bool PickFrequency(Threading::IPrompt& prompt, const std::wstring& caption,
                   const std::vector<int32_t>& values, int32_t& value) {
    std::vector<std::wstring> texts;
    for (int32_t f : values)
        texts.push_back(Hz(f));
    auto chosen = prompt.Choose(caption, texts);
    if (!chosen || *chosen >= values.size())
        return false;
    value = values[*chosen];
    return true;
}

}  // namespace

ConsoleTargetDialog::ConsoleTargetDialog(Threading::IPrompt& prompt, const DocData& data)
    : prompt_(prompt), data_(data) {}

bool ConsoleTargetDialog::DoModal(TargetSettings& settings) {
    TargetSettings s = LimitTargetSettings(settings);
    for (int round = 0; round < kMaxRounds; ++round) {
        // OK first, so a preset "yes" accepts the settings shown.
        std::vector<Entry> entries{Entry::Ok, Entry::Crossover, Entry::Order};
        std::vector<std::wstring> texts{
            L"OK", L"X-Over: " + Hz(s.crossover),
            L"High Pass Order: " + std::wstring(SlopeOrderText(s.hpOrder))};
        if (s.hpOrder != SLOPE_AUTO && s.hpOrder != SLOPE_FLAT) {
            entries.push_back(Entry::HighPass);
            texts.push_back(L"High Pass Frequency: " + Hz(s.hpFreq));
        }
        if (s.hpOrder != SLOPE_AUTO) {
            entries.push_back(Entry::MinEq);
            texts.push_back(L"Min EQ Frequency: " + Hz(s.minEqFreq));
        }
        entries.push_back(Entry::AutoDetect);
        texts.push_back(L"Auto Detect");
        entries.push_back(Entry::ClassicFit);
        texts.push_back(std::wstring(kClassicFitEntry) +
                        (s.fit == FitMethod::Classic ? L"yes" : L"no"));

        auto chosen = prompt_.Choose(kTargetDialogCaption, texts);
        if (!chosen || *chosen >= entries.size())
            return false;
        switch (entries[*chosen]) {
            case Entry::Ok:
                settings = s;
                return true;
            case Entry::Crossover:
                PickFrequency(prompt_, L"X-Over",
                              Frequencies(kCrossoverMin, kCrossoverMax, kCrossoverStep),
                              s.crossover);
                break;
            case Entry::Order: {
                std::vector<std::wstring> orders(kSlopeOrderTexts.begin(), kSlopeOrderTexts.end());
                if (auto order = prompt_.Choose(L"High Pass Order", orders);
                    order && *order < orders.size())
                    s.hpOrder = static_cast<int32_t>(*order);
                break;
            }
            case Entry::HighPass:
                PickFrequency(prompt_, L"High Pass Frequency",
                              Frequencies(kFrequencyMin, s.crossover, 5), s.hpFreq);
                break;
            case Entry::MinEq:
                PickFrequency(prompt_, L"Min EQ Frequency",
                              Frequencies(kFrequencyMin, s.crossover, 5), s.minEqFreq);
                break;
            case Entry::AutoDetect:
                AutoDetectTargetSettings(data_, s);
                break;
            case Entry::ClassicFit:
                s.fit = s.fit == FitMethod::Classic ? FitMethod::Refined : FitMethod::Classic;
                break;
        }
        s = LimitTargetSettings(s);
    }
    return false;
}

TargetDialogFactory ConsoleTargetDialogFactory() {
    return [](IProcDialog& owner, const DocData& data) -> std::unique_ptr<ITargetDialog> {
        return std::make_unique<ConsoleTargetDialog>(owner.Prompt(), data);
    };
}
