#include "export/PlotExport.h"

#include <algorithm>
#include <cstdio>

#include "document/DocData.h"
#include "measure/Curve.h"
#include "threading/Errors.h"
#include "ui/graph/Graph.h"

namespace Exporting {

namespace {

// The legend in the plot's top right corner: a pen sample and the label per curve.
void DrawLegend(Graphing::IGraphPainter& painter, const Graphing::CGraph& graph,
                const std::vector<PlotCurve>& curves, const TextMetrics& m) {
    std::vector<const PlotCurve*> labelled;
    for (const PlotCurve& c : curves)
        if (!c.label.empty())
            labelled.push_back(&c);
    if (labelled.empty())
        return;
    size_t chars = 0;
    for (const PlotCurve* c : labelled)
        chars = std::max(chars, c->label.size());
    const Graphing::PixelRect plot = graph.Map().Rect();
    const int sample = 3 * m.charWidth;
    const int width = static_cast<int>(chars + 1) * m.charWidth + sample + 2 * m.charWidth;
    const int height = static_cast<int>(labelled.size()) * m.textHeight + m.textHeight / 2;
    const int right = plot.right - m.charWidth;
    const int left = right - width;
    const int top = plot.top + m.charWidth;
    const int bottom = top + height;
    painter.Fill({left, top, right, bottom}, graph.Background());
    painter.Line({left, top}, {right, top}, Graphing::LineKind::Frame);
    painter.Line({right, top}, {right, bottom}, Graphing::LineKind::Frame);
    painter.Line({right, bottom}, {left, bottom}, Graphing::LineKind::Frame);
    painter.Line({left, bottom}, {left, top}, Graphing::LineKind::Frame);
    for (size_t i = 0; i < labelled.size(); ++i) {
        const int y =
            top + m.textHeight / 4 + static_cast<int>(i) * m.textHeight + m.textHeight / 2;
        const Graphing::PixelPoint line[] = {{left + m.charWidth / 2, y},
                                             {left + m.charWidth / 2 + sample, y}};
        painter.Polyline(line, labelled[i]->curve.pen);
        painter.Text({right - m.charWidth / 2, y}, Graphing::TextAnchor::RightCenter,
                     labelled[i]->label, Graphing::TextKind::Label);
    }
}

std::string Colour(Graphing::Color c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", Graphing::Red(c), Graphing::Green(c),
                  Graphing::Blue(c));
    return text;
}

std::string Escape(const std::wstring& text) {
    std::string out;
    for (char c : tsl::ToUtf8(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

class SvgPainter final : public Graphing::IGraphPainter {
public:
    SvgPainter(std::string& out, int fontPixels) : out_(out), font_(fontPixels) {}

    void Fill(const Graphing::PixelRect& r, Graphing::Color color) override {
        Append("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", r.left, r.top,
               r.right - r.left, r.bottom - r.top, Colour(color).c_str());
    }
    void Line(Graphing::PixelPoint a, Graphing::PixelPoint b, Graphing::LineKind kind) override {
        const char* style = "stroke=\"#000000\"";
        if (kind == Graphing::LineKind::MajorGrid)
            style = "stroke=\"#bebeb4\"";
        else if (kind == Graphing::LineKind::MinorGrid)
            style = "stroke=\"#d7d7cd\" stroke-dasharray=\"1,2\"";
        Append("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" %s/>\n", a.x, a.y, b.x, b.y, style);
    }
    void Text(Graphing::PixelPoint p, Graphing::TextAnchor how, const std::wstring& text,
              Graphing::TextKind kind) override {
        const char* anchor = how == Graphing::TextAnchor::RightCenter ? "end" : "middle";
        const char* baseline =
            how == Graphing::TextAnchor::TopCenter ? "text-before-edge" : "central";
        Append(
            "<text x=\"%d\" y=\"%d\" font-size=\"%d\" text-anchor=\"%s\" "
            "dominant-baseline=\"%s\"%s>",
            p.x, p.y, font_, anchor, baseline,
            kind == Graphing::TextKind::Title ? " font-weight=\"bold\"" : "");
        out_ += Escape(text) + "</text>\n";
    }
    void Polyline(std::span<const Graphing::PixelPoint> points, const Graphing::Pen& pen) override {
        out_ += "<polyline fill=\"none\" stroke-linejoin=\"round\" stroke-linecap=\"round\" ";
        Append("stroke=\"%s\" stroke-width=\"%d\"%s points=\"", Colour(pen.color).c_str(),
               pen.width, pen.style == Graphing::PenStyle::Dot ? " stroke-dasharray=\"1,3\"" : "");
        for (const Graphing::PixelPoint& p : points)
            Append("%d,%d ", p.x, p.y);
        out_ += "\"/>\n";
    }

private:
    template <typename... Args>
    void Append(const char* format, Args... args) {
        char text[256];
        const int n = std::snprintf(text, sizeof text, format, args...);
        out_.append(text, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1)));
    }

    std::string& out_;
    int font_;
};

}  // namespace

TextMetrics EstimatedMetrics(int width, int height) {
    TextMetrics m;
    m.fontPixels = std::clamp(std::min(width, height) / 45, 10, 96);
    m.charWidth = std::max(1, m.fontPixels * 3 / 5);
    m.textHeight = m.fontPixels * 6 / 5 + 1;
    return m;
}

std::vector<PlotCurve> DocumentPlotCurves(const DocData& data, const CurveOptions& options) {
    return DocumentPlot(data, {}, options);
}

void CheckPlotSize(int width, int height) {
    auto ok = [](int v) { return v >= kMinPlotSize && v <= kMaxPlotSize; };
    if (!ok(width) || !ok(height))
        throw tsl::wruntime_error(L"The picture size " + std::to_wstring(width) + L" x " +
                                  std::to_wstring(height) + L" is outside " +
                                  std::to_wstring(kMinPlotSize) + L" to " +
                                  std::to_wstring(kMaxPlotSize) + L" pixels.");
}

void DrawPlot(Graphing::IGraphPainter& painter, const std::vector<PlotCurve>& curves,
              const PlotOptions& options, const TextMetrics& metrics) {
    CheckPlotSize(options.width, options.height);
    Graphing::CGraph graph(options.domain, options.xScale, options.yMode);
    if (!options.title.empty())
        graph.SetTitle(options.title);
    Graphing::CurveList source;
    for (const PlotCurve& c : curves)
        source.curves.push_back(c.curve);
    graph.SetCurveSource(&source);
    graph.Layout(options.width, options.height, metrics.charWidth, metrics.textHeight);
    graph.Rescale();
    graph.DrawFrame(painter);
    graph.DrawCurves(painter);
    DrawLegend(painter, graph, curves, metrics);
}

std::string PlotSvg(const std::vector<PlotCurve>& curves, const PlotOptions& options) {
    CheckPlotSize(options.width, options.height);
    const TextMetrics m = EstimatedMetrics(options.width, options.height);
    char head[256];
    std::snprintf(head, sizeof head,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "
                  "xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 "
                  "%d %d\" font-family=\"sans-serif\">\n",
                  options.width, options.height, options.width, options.height);
    std::string out = head;
    SvgPainter painter(out, m.fontPixels);
    DrawPlot(painter, curves, options, m);
    out += "</svg>\n";
    return out;
}

}  // namespace Exporting
