#include "app/CTSLView.h"

#include <QGridLayout>
#include <QLabel>

#include "app/CCurveColorDialog.h"
#include "app/CurveProvider.h"
#include "document/DocData.h"
#include "ui/qt/CStaticColorCtrl.h"

CTSLView::CTSLView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CTSLView"));
    graph_ = new Graphing::CGraphCtrl(this);
    graph_->setObjectName(QStringLiteral("MFCGraphCtrl"));
    graph_->SetCurveSource(this);
    auto* layout = new QGridLayout(this);
    layout->addWidget(graph_, 0, 0, 5, 1);
    for (size_t i = 0; i < 3; ++i) {
        const int row = static_cast<int>(i);
        auto* label = new QLabel(QString::fromLatin1(kCurveLabels[i]), this);
        swatches_[i] = new CustomControls::CStaticColorCtrl(this);
        swatches_[i]->setAccessibleName(label->text());
        swatches_[i]->setObjectName(QStringLiteral("swatch%1").arg(kSwatchIds[i]));
        auto* cell = new QGridLayout;
        cell->addWidget(label, 0, 0);
        cell->addWidget(swatches_[i], 0, 1);
        layout->addLayout(cell, row, 1);
    }
    // The re-measured curve's legend entry, shown when the document has that curve.
    verifiedLegend_ = new QWidget(this);
    verifiedLegend_->setObjectName(QStringLiteral("VerifiedLegend"));
    auto* cell = new QGridLayout(verifiedLegend_);
    cell->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Verified:"), verifiedLegend_);
    auto* swatch = new CustomControls::CStaticColorCtrl(verifiedLegend_);
    swatch->setAccessibleName(label->text());
    swatch->SetColor(kVerifiedColour);
    cell->addWidget(label, 0, 0);
    cell->addWidget(swatch, 0, 1);
    verifiedLegend_->hide();
    layout->addWidget(verifiedLegend_, 3, 1);
    layout->setRowStretch(4, 1);
    layout->setColumnStretch(0, 1);
}

void CTSLView::SetDocument(const DocData* data) {
    data_ = data;
}

void CTSLView::Refresh(const QString& title) {
    graph_->SetTitle(title);
    graph_->Rescale();
    Repaint();
}

void CTSLView::Repaint() {
    if (data_ != nullptr)
        for (size_t i = 0; i < 3; ++i)
            swatches_[i]->SetColor(data_->colours[i]);
    verifiedLegend_->setVisible(data_ != nullptr && data_->verified != nullptr);
    graph_->update();
}

void CTSLView::SetCurveOptions(const CurveOptions& options) {
    options_ = options;
    graph_->update();
}

std::vector<Graphing::DrawEntry> CTSLView::CurvesToDraw(const Graphing::CGraph& graph) {
    ++curveRequests_;
    curves_.clear();
    if (data_ != nullptr)
        curves_ = DocumentCurves(*data_, graph.GetDomain(), graph.GetYMode(), graph.PhaseDisplay(),
                                 options_);
    std::vector<Graphing::DrawEntry> entries;
    entries.reserve(curves_.size());
    for (const Graphing::GraphCurve& c : curves_)
        entries.push_back({c.x, c.y, c.pen, c.yLow});
    return entries;
}
