#include "app/CTSLView.h"

#include <QGridLayout>
#include <QLabel>

#include "app/CCurveColorDialog.h"
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
    model_.SetDocument(data);
    graph_->CurvesChanged();
}

void CTSLView::Refresh(const QString& title) {
    model_.DocumentChanged();
    graph_->SetTitle(title);
    graph_->Rescale();
    Repaint();
}

void CTSLView::Repaint() {
    model_.DocumentChanged();
    if (data_ != nullptr)
        for (size_t i = 0; i < 3; ++i)
            swatches_[i]->SetColor(data_->colours[i]);
    verifiedLegend_->setVisible(data_ != nullptr && data_->verified != nullptr);
    graph_->CurvesChanged();
}

void CTSLView::SetCurveOptions(const CurveOptions& options) {
    model_.SetOptions(options);
    graph_->CurvesChanged();
}

std::vector<Graphing::DrawEntry> CTSLView::CurvesToDraw(const Graphing::CGraph& graph) {
    return model_.Entries({graph.GetDomain(), graph.GetYMode(), graph.PhaseDisplay()});
}
