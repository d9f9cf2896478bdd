#include "app/DecayPresenter.h"

#include <cmath>
#include <cstdio>

#include "threading/Errors.h"

using Exporting::DecaySet;

DecayPresenter::DecayPresenter(const DocData& data) {
    try {
        analysis_ = Exporting::AnalyseDecay(data);
    } catch (const tsl::wruntime_error& e) {
        message_ = e.wwhat();
    }
}

std::vector<std::wstring> DecayPresenter::ViewNames() {
    return {L"Impulse", L"Step", L"Group delay", L"Waterfall"};
}

std::wstring DecayPresenter::WaterfallNote() {
    const Decay::WaterfallSettings s;
    auto ms = [](double seconds) { return std::to_wstring(std::lround(seconds * 1000.0)); };
    return L"Slices every " + ms(s.startStep) + L" ms, from " + ms(s.firstStart) +
           L" ms (red, in front) to " + ms(s.lastStart) + L" ms (blue, at the back); a " +
           ms(s.windowSeconds) + L" ms window.";
}

std::vector<std::wstring> DecayPresenter::PositionNames() const {
    std::vector<std::wstring> names{L"Average"};
    if (analysis_)
        for (size_t p = 0; p < analysis_->Set(DecaySet::Measured)->Positions(); ++p)
            names.push_back(L"Position " + std::to_wstring(p + 1));
    return names;
}

bool DecayPresenter::HasSet(DecaySet set) const {
    return analysis_ && analysis_->Set(set).has_value();
}

void DecayPresenter::SetView(int index) {
    if (index < 0 || index >= static_cast<int>(ViewNames().size()) || index == ViewIndex())
        return;
    view_ = static_cast<Exporting::DecayView>(index);
    valid_ = false;
}

void DecayPresenter::SetPosition(int index) {
    if (index < 0 || index >= static_cast<int>(PositionNames().size()) || index == PositionIndex())
        return;
    position_ = index - 1;
    valid_ = false;
}

void DecayPresenter::SetShown(DecaySet set, bool shown) {
    if (Shown(set) == shown)
        return;
    shown_[static_cast<size_t>(set)] = shown;
    valid_ = false;
}

const Exporting::DecayPlot& DecayPresenter::Plot() {
    if (!valid_) {
        plot_ = analysis_ ? Exporting::MakeDecayPlot(*analysis_, view_, position_, shown_)
                          : Exporting::DecayPlot{};
        valid_ = true;
        ++builds_;
    }
    return plot_;
}

std::vector<std::array<std::wstring, 4>> DecayPresenter::Table() const {
    std::vector<std::array<std::wstring, 4>> rows;
    if (!analysis_)
        return rows;
    for (const Exporting::DecayRow& row : Exporting::DecayTable(*analysis_, position_)) {
        wchar_t centre[16];
        std::swprintf(centre, sizeof centre / sizeof centre[0], L"%g", row.nominalHz);
        rows.push_back({centre, Exporting::DecayFigureText(row.figures[0]),
                        Exporting::DecayFigureText(row.figures[1]),
                        Exporting::DecayFigureText(row.figures[2])});
    }
    return rows;
}
