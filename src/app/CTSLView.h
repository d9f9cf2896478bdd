#pragma once
// The view: the graph of the document's result curves and, on its right, the three colour
// swatches and, after a re-measurement, the re-measured curve's. It is the graph's curve
// provider.

#include <QWidget>
#include <array>
#include <vector>

#include "app/CurveProvider.h"
#include "ui/graph/GraphCurves.h"
#include "ui/qt/CGraphCtrl.h"

struct DocData;

namespace CustomControls {
class CStaticColorCtrl;
}

inline constexpr int IDC_GRAPH = 1000;
inline constexpr std::array<int, 3> kSwatchIds{1036, 1037, 1038};

class CTSLView : public QWidget, public Graphing::CGraphCtrlCurves {
    Q_OBJECT
public:
    explicit CTSLView(QWidget* parent = nullptr);

    // Not owned; read on every paint.
    void SetDocument(const DocData* data);
    // Graph title, ranges to the curves, repaint.
    void Refresh(const QString& title);
    // Swatches from the document's colours and the curves repainted.
    void Repaint();
    // The spread and the positions' curves on or off; repaints.
    void SetCurveOptions(const CurveOptions& options);

    std::vector<Graphing::DrawEntry> CurvesToDraw(const Graphing::CGraph& graph) override;

    Graphing::CGraphCtrl* Graph() const { return graph_; }
    CustomControls::CStaticColorCtrl* Swatch(size_t i) const { return swatches_[i]; }
    QWidget* VerifiedLegend() const { return verifiedLegend_; }
    // How many times the curves were asked for (each paint or rescale asks once).
    int CurveRequests() const { return curveRequests_; }

private:
    const DocData* data_ = nullptr;
    Graphing::CGraphCtrl* graph_;
    std::array<CustomControls::CStaticColorCtrl*, 3> swatches_{};
    QWidget* verifiedLegend_ = nullptr;
    CurveOptions options_;
    std::vector<Graphing::GraphCurve> curves_;
    int curveRequests_ = 0;
};
