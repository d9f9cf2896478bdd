#include "ui/graph/Graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Graphing {

namespace {

constexpr int kLeftMarginChars = 10;
constexpr int kRightMarginChars = 5;
constexpr int kTopMarginLines = 2;
constexpr int kBottomMarginLines = 3;

std::wstring Readout(const char* format, double v) {
    char text[kReadoutChars + 1];
    std::snprintf(text, sizeof text, format, v);
    return std::wstring(text, text + std::strlen(text));
}

LabelKind XLabelKind(Domain domain) {
    return domain == Domain::Time ? LabelKind::Time : LabelKind::Frequency;
}

}  // namespace

CGraph::CGraph(Domain domain, XScale xScale, YMode yMode)
    : domain_(domain),
      xScale_(xScale),
      yMode_(yMode),
      map_(MakeMap(xScale == XScale::Log, yMode == YMode::LogMagnitude)),
      limits_(DefaultLimits(domain, yMode == YMode::LogMagnitude)) {
    const bool time = domain == Domain::Time;
    title_ = time ? L"Time Domain" : L"Frequency Domain";
    axisLabel_ = time ? L"Time (ms)" : L"Frequency (Hz)";
    if (!time && yMode == YMode::Level)
        levelLabel_ = L"Level (dB)";
    initial_.x0 = time ? 0.0 : 20.0;
    initial_.x1 = time ? 0.25 : 1000.0;
    if (yMode == YMode::LogMagnitude) {
        initial_.y0 = 1.0;
        initial_.y1 = 10.0;
    } else if (xScale == XScale::Log) {
        initial_.y0 = -50.0;
        initial_.y1 = 0.0;
    } else {
        initial_.y0 = -1.0;
        initial_.y1 = 1.0;
    }
    SetRanges(initial_);
}

void CGraph::Layout(int width, int height, int charWidth, int textHeight) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    charWidth_ = std::max(charWidth, 1);
    textHeight_ = std::max(textHeight, 1);
    const int left = kLeftMarginChars * charWidth_;
    const int plotWidth = std::max(width_ - left - kRightMarginChars * charWidth_, 1);
    const int plotHeight =
        std::max(height_ - (kTopMarginLines + kBottomMarginLines) * textHeight_, 1);
    map_->SetRect(left, kTopMarginLines * textHeight_ + plotHeight, plotWidth, plotHeight);
    UpdateTicks();
}

PixelPoint CGraph::PlotCentre() const {
    return {map_->Left() + map_->Width() / 2, map_->Bottom() - map_->Height() / 2};
}

void CGraph::SetRanges(double x0, double x1, double y0, double y1) {
    map_->SetRanges(x0, x1, y0, y1);
    UpdateTicks();
}

void CGraph::UpdateTicks() {
    const CGraphMap& m = *map_;
    auto step = [](bool log, double lo, double hi) {
        // The epsilon keeps a five-decade range limited through exp() at five.
        return log && lo > 0.0 && std::log10(hi / lo) >= 1.0
                   ? std::floor(std::log10(hi / lo) + 1e-9)
                   : GridStep(lo, hi);
    };
    xStep_ = step(m.LogX(), m.X0(), m.X1());
    yStep_ = step(m.LogY(), m.Y0(), m.Y1());
    xTicks_ = AxisTicks(m, true, XLabelKind(domain_));
    yTicks_ = AxisTicks(m, false, LabelKind::Plain);
    // Evenly stepped labels keep a gap of their own size (in pixels of the same ratio as the
    // text, so the spacing is the same at any scaling).
    auto decades = [](bool log, double lo, double hi) {
        return log && lo > 0.0 && std::log10(hi / lo) >= 1.0;
    };
    yLabelStep_ = yStep_;
    if (!decades(m.LogY(), m.Y0(), m.Y1())) {
        yLabelStep_ = ThinLabels(yTicks_, yStep_, textHeight_ * 3 / 2);
    }
    if (!decades(m.LogX(), m.X0(), m.X1())) {
        size_t longest = 0;
        for (const Tick& t : xTicks_) {
            longest = std::max(longest, t.label.size());
        }
        ThinLabels(xTicks_, xStep_, charWidth_ * static_cast<int>(longest + 2));
    }
}

void CGraph::DrawFrame(IGraphPainter& painter) const {
    const PixelRect r = map_->Rect();
    const int h = textHeight_;
    painter.Fill({0, 0, width_, height_}, Background());
    for (const Tick& t : xTicks_) {
        const int mark = t.major ? h / 2 : h / 3;
        painter.Line({t.pixel, r.top}, {t.pixel, r.bottom},
                     t.major ? LineKind::MajorGrid : LineKind::MinorGrid);
        painter.Line({t.pixel, r.bottom}, {t.pixel, r.bottom + mark}, LineKind::Mark);
        painter.Line({t.pixel, r.top}, {t.pixel, r.top - mark}, LineKind::Mark);
        if (!t.label.empty()) {
            painter.Text({t.pixel, r.bottom + h / 2}, TextAnchor::TopCenter, t.label,
                         TextKind::Label);
        }
    }
    for (const Tick& t : yTicks_) {
        const int mark = t.major ? h / 2 : h / 3;
        painter.Line({r.left, t.pixel}, {r.right, t.pixel},
                     t.major ? LineKind::MajorGrid : LineKind::MinorGrid);
        painter.Line({r.left - mark, t.pixel}, {r.left, t.pixel}, LineKind::Mark);
        painter.Line({r.right, t.pixel}, {r.right + mark, t.pixel}, LineKind::Mark);
        if (!t.label.empty()) {
            painter.Text({r.left - h / 2 - charWidth_ / 2, t.pixel}, TextAnchor::RightCenter,
                         t.label, TextKind::Label);
        }
    }
    // The ticks start past the minimum; a minimum on the grid is the frame's bottom edge, and it
    // is labelled like the grid lines above it.
    const CGraphMap& m = *map_;
    if (!m.LogY() && !yTicks_.empty() && yStep_ > 0.0 &&
        std::fabs(yTicks_.front().value - yStep_ - m.Y0()) < yStep_ * 1e-6 &&
        std::fabs(std::remainder(m.Y0(), yLabelStep_)) < yLabelStep_ * 1e-6) {
        painter.Text({r.left - h / 2 - charWidth_ / 2, r.bottom}, TextAnchor::RightCenter,
                     FormatLabel(m.Y0(), LabelKind::Plain), TextKind::Label);
    }
    painter.Line({r.left, r.top}, {r.right, r.top}, LineKind::Frame);
    painter.Line({r.right, r.top}, {r.right, r.bottom}, LineKind::Frame);
    painter.Line({r.right, r.bottom}, {r.left, r.bottom}, LineKind::Frame);
    painter.Line({r.left, r.bottom}, {r.left, r.top}, LineKind::Frame);
    const int cx = (r.left + r.right) / 2;
    painter.Text({cx, r.bottom + h * 7 / 4}, TextAnchor::TopCenter, axisLabel_,
                 TextKind::AxisTitle);
    painter.Text({cx, r.top - h}, TextAnchor::Center, title_, TextKind::Title);
    if (!levelLabel_.empty())
        painter.Text({r.left, r.top - h}, TextAnchor::Center, levelLabel_, TextKind::AxisTitle);
}

void CGraph::DrawCurves(IGraphPainter& painter) const {
    if (source_ != nullptr) {
        const std::vector<DrawEntry> curves = source_->CurvesToDraw(*this);
        DrawCurves(painter, curves);
    }
}

void CGraph::DrawCurves(IGraphPainter& painter, std::span<const DrawEntry> curves) const {
    for (const DrawEntry& c : curves) {
        if (!c.yLow.empty()) {
            DrawBand(painter, c);
            continue;
        }
        ReduceCurve(
            *map_, c.x, c.y,
            [&](std::span<const PixelPoint> points) { painter.Polyline(points, c.pen); }, scratch_);
    }
}

void CGraph::DrawBand(IGraphPainter& painter, const DrawEntry& c) const {
    if (c.yLow.size() != c.y.size() || c.x.size() != c.y.size())
        return;
    const double lo =
        std::min(map_->PixelToX(map_->Rect().left), map_->PixelToX(map_->Rect().right));
    const double hi =
        std::max(map_->PixelToX(map_->Rect().left), map_->PixelToX(map_->Rect().right));
    std::vector<PixelPoint> outline;
    std::vector<PixelPoint> lower;
    for (size_t i = 0; i < c.x.size(); ++i) {
        if (c.x[i] < lo || c.x[i] > hi || !std::isfinite(c.y[i]) || !std::isfinite(c.yLow[i]))
            continue;
        outline.push_back(map_->ToPixel(c.x[i], c.y[i]));
        lower.push_back(map_->ToPixel(c.x[i], c.yLow[i]));
    }
    if (outline.size() < 2)
        return;
    outline.insert(outline.end(), lower.rbegin(), lower.rend());
    painter.Band(outline, c.pen.color);
}

void CGraph::DrawReadout(IGraphPainter& painter, PixelPoint p,
                         std::span<const DrawEntry> curves) const {
    if (!map_->Contains(p)) {
        return;
    }
    const PixelRect r = map_->Rect();
    std::wstring text = XReadout(p.x) + L"   " + YReadout(p.y);
    const std::wstring curve = CurveReadout(curves, p);
    if (!curve.empty()) {
        text += L"   " + curve;
    }
    painter.Text({r.right, r.top - textHeight_}, TextAnchor::RightCenter, text, TextKind::Readout);
}

std::wstring CGraph::CurveReadout(std::span<const DrawEntry> curves, PixelPoint p) const {
    const double x = map_->PixelToX(p.x);
    const DrawEntry* nearest = nullptr;
    double nearestValue = 0.0, nearestDistance = 0.0;
    for (const DrawEntry& c : curves) {
        if (!c.yLow.empty() || c.x.size() != c.y.size() || c.x.size() < 2) {
            continue;
        }
        // Ascending x: the segment that holds x, interpolated along the axis as drawn.
        const auto after = std::upper_bound(c.x.begin(), c.x.end(), x);
        if (after == c.x.begin() || after == c.x.end()) {
            continue;
        }
        const size_t i = static_cast<size_t>(after - c.x.begin()) - 1;
        const double u0 = map_->XToAxis(c.x[i]), u1 = map_->XToAxis(c.x[i + 1]);
        const double t = u1 != u0 ? (map_->XToAxis(x) - u0) / (u1 - u0) : 0.0;
        const double value = c.y[i] + t * (c.y[i + 1] - c.y[i]);
        if (!std::isfinite(value) || (map_->LogY() && !(value > 0.0))) {
            continue;
        }
        const double distance = std::abs(map_->YToPixelUnclamped(value) - p.y);
        if (nearest == nullptr || distance < nearestDistance) {
            nearest = &c;
            nearestValue = value;
            nearestDistance = distance;
        }
    }
    if (nearest == nullptr) {
        return {};
    }
    const char* format = !phase_ && yMode_ == YMode::Level ? "%.2f dB" : "%.2f";
    const std::wstring value = Readout(format, nearestValue);
    return nearest->label.empty() ? value : std::wstring(nearest->label) + L" " + value;
}

std::wstring CGraph::XReadout(int px) const {
    const double x = map_->PixelToXClamped(px);
    return domain_ == Domain::Time ? Readout("%.2f ms", x * 1000.0) : Readout("%.2f Hz", x);
}

std::wstring CGraph::YReadout(int py) const {
    const double y = map_->PixelToYClamped(py);
    if (phase_) {
        return Readout(domain_ == Domain::Frequency ? "%.2f Rad" : "%.2f", y);
    }
    return Readout(yMode_ == YMode::Level ? "%.2f dB" : "%.2f", y);
}

bool CGraph::Zoom(PixelPoint cursor, bool zoomIn) {
    if (dragging_) {
        return false;
    }
    SetRanges(ZoomStep(*map_, cursor, zoomIn, limits_));
    return true;
}

bool CGraph::ZoomAnchored(PixelPoint cursor, bool zoomIn) {
    if (dragging_) {
        return false;
    }
    SetRanges(Graphing::ZoomAnchored(*map_, cursor, zoomIn, limits_));
    return true;
}

bool CGraph::Pan(int steps) {
    if (dragging_) {
        return false;
    }
    SetRanges(PanStep(*map_, steps, limits_));
    return true;
}

void CGraph::Rescale() {
    std::vector<DrawEntry> curves;
    if (source_ != nullptr) {
        curves = source_->CurvesToDraw(*this);
    }
    SetRanges(AutoScale(*map_, curves, limits_, initial_));
}

void CGraph::BeginRubberBand(PixelPoint p) {
    anchor_ = corner_ = map_->ClampPixel(p);
    dragging_ = true;
}

void CGraph::DragRubberBand(PixelPoint p) {
    if (dragging_) {
        corner_ = map_->ClampPixel(p);
    }
}

bool CGraph::EndRubberBand(PixelPoint p) {
    if (!dragging_) {
        return false;
    }
    corner_ = map_->ClampPixel(p);
    dragging_ = false;
    if (corner_.x == anchor_.x || corner_.y == anchor_.y) {
        return false;
    }
    const double xa = map_->PixelToX(anchor_.x);
    const double xb = map_->PixelToX(corner_.x);
    const double ya = map_->PixelToY(anchor_.y);
    const double yb = map_->PixelToY(corner_.y);
    SetRanges(std::min(xa, xb), std::max(xa, xb), std::min(ya, yb), std::max(ya, yb));
    return true;
}

PixelRect CGraph::RubberBand() const {
    return {std::min(anchor_.x, corner_.x), std::min(anchor_.y, corner_.y),
            std::max(anchor_.x, corner_.x), std::max(anchor_.y, corner_.y)};
}

}  // namespace Graphing
