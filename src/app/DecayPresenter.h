#pragma once
// The Decay window's state and texts: the document's impulses analysed once, the view, the
// position (each or their average) and the measured, predicted and verified switches, the curves
// of the chosen view and the decay-time table. The window draws them and forwards its controls.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "export/DecayModel.h"

struct DocData;

class DecayPresenter {
public:
    // Analyses the document's impulses; a document without them leaves Message() set.
    explicit DecayPresenter(const DocData& data);

    // Empty when there is something to show; otherwise what the window says instead.
    const std::wstring& Message() const { return message_; }

    // "Impulse", "Step", "Group delay", "Waterfall", in DecayView order.
    static std::vector<std::wstring> ViewNames();
    // "Average", then "Position 1" ... of the measured positions.
    std::vector<std::wstring> PositionNames() const;
    bool HasSet(Exporting::DecaySet set) const;

    void SetView(int index);
    void SetPosition(int index);  // 0 the average, n position n
    void SetShown(Exporting::DecaySet set, bool shown);
    int ViewIndex() const { return static_cast<int>(view_); }
    int PositionIndex() const { return position_ + 1; }
    bool Shown(Exporting::DecaySet set) const { return shown_[static_cast<size_t>(set)]; }

    // The chosen view's curves and axes, rebuilt after a change only.
    const Exporting::DecayPlot& Plot();
    int Builds() const { return builds_; }

    // Per band: its centre, then measured, predicted and verified (Exporting::DecayFigureText).
    std::vector<std::array<std::wstring, 4>> Table() const;
    std::wstring TableNote() const { return Exporting::DecayTableNote(); }
    // What the waterfall's colours mean.
    static std::wstring WaterfallNote();

private:
    std::optional<Exporting::DecayAnalysis> analysis_;
    std::wstring message_;
    Exporting::DecayView view_ = Exporting::DecayView::Waterfall;
    int position_ = -1;
    std::array<bool, Exporting::kDecaySetCount> shown_{true, true, true};
    Exporting::DecayPlot plot_;
    bool valid_ = false;
    int builds_ = 0;
};
