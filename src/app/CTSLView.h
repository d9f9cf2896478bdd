#pragma once
// The view: the graph of the document's result curves and, on its right, their legend (each
// entry drawn as the line itself), the re-measured curve's after a re-measurement and the
// positions' while they are shown. It is the graph's curve
// provider, from a plot model rebuilt only when the document or the options change.

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "export/PlotModel.h"
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
    ~CTSLView() override;

    // Not owned; read when it changed (SetDocument, Refresh, Repaint), never while painting.
    void SetDocument(const DocData* data);
    // Graph title, ranges to the curves, repaint.
    void Refresh(const QString& title);
    // The document changed: swatches from its colours and the curves rebuilt and repainted.
    void Repaint();
    // The spread and the positions' curves on or off; repaints.
    void SetCurveOptions(const CurveOptions& options);
    const CurveOptions& CurveOptionsShown() const { return model_.Options(); }
    // Draws a copy of the document as it is now until released (its data is elsewhere
    // meanwhile).
    void HoldDocument(bool hold);
    // While held: draws shown instead (a copy), rescaled; with `positions` the positions'
    // curves whatever the switch says.
    void ShowMeasuring(const DocData& shown, bool positions);

    std::vector<Graphing::DrawEntry> CurvesToDraw(const Graphing::CGraph& graph) override;

    Graphing::CGraphCtrl* Graph() const { return graph_; }
    CustomControls::CStaticColorCtrl* Swatch(size_t i) const { return swatches_[i]; }
    QWidget* VerifiedLegend() const { return verifiedLegend_; }
    // The shown positions' legend samples, in the table's order.
    const std::vector<CustomControls::CStaticColorCtrl*>& PositionSwatches() const {
        return positionSwatches_;
    }
    // How many times the curves were built from the document.
    int CurveBuilds() const { return model_.Builds(); }

private:
    void ShowPositionsLegend();

    // The switches' options, with the positions on while a measurement shows them.
    CurveOptions ShownOptions() const;

    const DocData* data_ = nullptr;
    std::unique_ptr<DocData> held_;
    CurveOptions options_;
    bool livePositions_ = false;
    PlotModel model_;
    Graphing::CGraphCtrl* graph_;
    std::array<CustomControls::CStaticColorCtrl*, 3> swatches_{};
    QWidget* verifiedLegend_ = nullptr;
    QWidget* positionsLegend_ = nullptr;
    std::vector<CustomControls::CStaticColorCtrl*> positionSwatches_;
};
