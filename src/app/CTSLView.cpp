#include "app/CTSLView.h"

#include <QGridLayout>
#include <QLabel>
#include <algorithm>

#include "app/CCurveColorDialog.h"
#include "document/DocData.h"
#include "ui/qt/CStaticColorCtrl.h"

CTSLView::CTSLView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CTSLView"));
    graph_ = new Graphing::CGraphCtrl(this);
    graph_->setObjectName(QStringLiteral("MFCGraphCtrl"));
    graph_->SetCurveSource(this);
    auto* layout = new QGridLayout(this);
    layout->addWidget(graph_, 0, 0, 6, 1);
    for (size_t i = 0; i < 3; ++i) {
        const int row = static_cast<int>(i);
        // The labels the exported picture's legend has.
        auto* label = new QLabel(QString::fromWCharArray(ResultLabel(i)) + QLatin1Char(':'), this);
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
    swatch->SetPen(kVerifiedPen);
    cell->addWidget(label, 0, 0);
    cell->addWidget(swatch, 0, 1);
    verifiedLegend_->hide();
    layout->addWidget(verifiedLegend_, 3, 1);
    // The positions' entries while their curves are shown.
    positionsLegend_ = new QWidget(this);
    positionsLegend_->setObjectName(QStringLiteral("PositionsLegend"));
    new QGridLayout(positionsLegend_);
    positionsLegend_->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(positionsLegend_, 4, 1);
    layout->setRowStretch(5, 1);
    layout->setColumnStretch(0, 1);
}

void CTSLView::SetDocument(const DocData* data) {
    data_ = data;
    model_.SetDocument(data);
    graph_->CurvesChanged();
}

CTSLView::~CTSLView() = default;

void CTSLView::HoldDocument(bool hold) {
    if (hold && data_ != nullptr) {
        held_ = std::make_unique<DocData>();
        held_->CopyFrom(*data_);
        model_.SetDocument(held_.get());
    } else {
        model_.SetDocument(data_);
        held_.reset();
        livePositions_ = false;
        model_.SetOptions(ShownOptions());
        ShowPositionsLegend();
    }
    graph_->CurvesChanged();
}

void CTSLView::ShowMeasuring(const DocData& shown, bool positions) {
    if (!held_)
        held_ = std::make_unique<DocData>();
    held_->CopyFrom(shown);
    model_.SetDocument(held_.get());
    livePositions_ = positions;
    model_.SetOptions(ShownOptions());
    graph_->Rescale();
    Repaint();
}

CurveOptions CTSLView::ShownOptions() const {
    CurveOptions shown = options_;
    if (livePositions_) {
        shown.positions = true;
        shown.selected = -1;
    }
    return shown;
}

void CTSLView::Refresh(const QString& title) {
    model_.DocumentChanged();
    graph_->SetTitle(title);
    graph_->Rescale();
    Repaint();
}

void CTSLView::Repaint() {
    model_.DocumentChanged();
    const DocData* shown = held_ ? held_.get() : data_;
    if (shown != nullptr)
        for (size_t i = 0; i < 3; ++i)
            swatches_[i]->SetPen(CurvePen(i, shown->colours));
    verifiedLegend_->setVisible(shown != nullptr && shown->verified != nullptr);
    ShowPositionsLegend();
    graph_->CurvesChanged();
}

void CTSLView::SetCurveOptions(const CurveOptions& options) {
    options_ = options;
    model_.SetOptions(ShownOptions());
    ShowPositionsLegend();
    graph_->CurvesChanged();
}

void CTSLView::ShowPositionsLegend() {
    auto* grid = static_cast<QGridLayout*>(positionsLegend_->layout());
    for (QWidget* w : positionsLegend_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete w;
    positionSwatches_.clear();
    const Graphing::CGraph& graph = graph_->Graph();
    const PlotAxes axes{graph.GetDomain(), graph.GetYMode(), graph.PhaseDisplay()};
    std::vector<std::pair<QString, Graphing::Pen>> entries;
    for (const Exporting::PlotCurve& c : model_.Curves(axes))
        if (c.label.starts_with(L"Position "))
            entries.emplace_back(QString::fromStdWString(c.label), c.curve.pen);
    // In the table's order, whichever is drawn on top.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.first.mid(9).toInt() < b.first.mid(9).toInt();
    });
    for (const auto& [text, pen] : entries) {
        const int row = static_cast<int>(positionSwatches_.size());
        auto* label = new QLabel(text + QLatin1Char(':'), positionsLegend_);
        auto* swatch = new CustomControls::CStaticColorCtrl(positionsLegend_);
        swatch->setAccessibleName(text);
        swatch->SetPen(pen);
        grid->addWidget(label, row, 0);
        grid->addWidget(swatch, row, 1);
        positionSwatches_.push_back(swatch);
    }
    positionsLegend_->setVisible(!entries.empty());
}

std::vector<Graphing::DrawEntry> CTSLView::CurvesToDraw(const Graphing::CGraph& graph) {
    return model_.Entries({graph.GetDomain(), graph.GetYMode(), graph.PhaseDisplay()});
}
