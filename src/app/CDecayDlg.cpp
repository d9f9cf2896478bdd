#include "app/CDecayDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/qt/CGraphCtrl.h"

using Exporting::DecaySet;

namespace {

QString Text(const std::wstring& text) {
    return QString::fromStdWString(text);
}

}  // namespace

CDecayDlg::CDecayDlg(const DocData& data, QWidget* parent) : QDialog(parent), presenter_(data) {
    setWindowTitle(QStringLiteral("Decay"));
    setObjectName(QStringLiteral("DecayWindow"));
    auto* layout = new QVBoxLayout(this);

    auto* controls = new QHBoxLayout;
    view_ = new QComboBox(this);
    view_->setObjectName(QStringLiteral("DecayView"));
    view_->setAccessibleName(QStringLiteral("View"));
    for (const std::wstring& name : DecayPresenter::ViewNames())
        view_->addItem(Text(name));
    auto* viewLabel = new QLabel(QStringLiteral("&View:"), this);
    viewLabel->setBuddy(view_);
    position_ = new QComboBox(this);
    position_->setObjectName(QStringLiteral("DecayPosition"));
    position_->setAccessibleName(QStringLiteral("Position"));
    for (const std::wstring& name : presenter_.PositionNames())
        position_->addItem(Text(name));
    auto* positionLabel = new QLabel(QStringLiteral("&Position:"), this);
    positionLabel->setBuddy(position_);
    controls->addWidget(viewLabel);
    controls->addWidget(view_);
    controls->addWidget(positionLabel);
    controls->addWidget(position_);
    const wchar_t* names[] = {L"&Measured", L"P&redicted", L"V&erified"};
    for (size_t s = 0; s < Exporting::kDecaySetCount; ++s) {
        auto* box = new QCheckBox(Text(names[s]), this);
        box->setObjectName(Text(std::wstring(Exporting::DecaySetLabel(static_cast<DecaySet>(s)))));
        box->setChecked(true);
        box->setEnabled(presenter_.HasSet(static_cast<DecaySet>(s)));
        connect(box, &QCheckBox::toggled, this, [this, s](bool on) {
            presenter_.SetShown(static_cast<DecaySet>(s), on);
            ShowPlot();
        });
        switches_[s] = box;
        controls->addWidget(box);
    }
    controls->addStretch();
    layout->addLayout(controls);

    message_ = new QLabel(Text(presenter_.Message()), this);
    message_->setWordWrap(true);
    message_->setVisible(!presenter_.Message().empty());
    layout->addWidget(message_);

    auto* body = new QHBoxLayout;
    graphs_ = new QStackedWidget(this);
    using Graphing::Domain, Graphing::XScale, Graphing::YMode;
    const struct {
        Domain domain;
        XScale xScale;
        YMode yMode;
    } kinds[] = {{Domain::Time, XScale::Linear, YMode::Level},
                 {Domain::Time, XScale::Linear, YMode::Linear},
                 {Domain::Frequency, XScale::Log, YMode::Linear},
                 {Domain::Frequency, XScale::Log, YMode::Level}};
    for (size_t v = 0; v < graph_.size(); ++v) {
        graph_[v] =
            new Graphing::CGraphCtrl(graphs_, kinds[v].domain, kinds[v].xScale, kinds[v].yMode);
        graph_[v]->setObjectName(QStringLiteral("DecayGraph%1").arg(v));
        graph_[v]->SetCurveSource(&curves_[v]);
        graphs_->addWidget(graph_[v]);
    }
    auto* left = new QVBoxLayout;
    left->addWidget(graphs_, 1);
    ramp_ = new QLabel(Text(DecayPresenter::WaterfallNote()), this);
    left->addWidget(ramp_);
    body->addLayout(left, 1);
    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("DecayTimes"));
    table_->setAccessibleName(QStringLiteral("Decay times (T20, ms)"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Band (Hz)"), QStringLiteral("Measured"),
                                       QStringLiteral("Predicted"), QStringLiteral("Verified")});
    table_->verticalHeader()->hide();
    table_->setTabKeyNavigation(false);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setToolTip(Text(presenter_.TableNote()));
    body->addWidget(table_);
    layout->addLayout(body, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const bool any = presenter_.Message().empty();
    for (QWidget* w : {static_cast<QWidget*>(view_), static_cast<QWidget*>(position_),
                       static_cast<QWidget*>(graphs_), static_cast<QWidget*>(table_)})
        w->setEnabled(any);
    view_->setCurrentIndex(presenter_.ViewIndex());
    connect(view_, &QComboBox::currentIndexChanged, this, [this](int index) {
        presenter_.SetView(index);
        ShowPlot();
    });
    connect(position_, &QComboBox::currentIndexChanged, this, [this](int index) {
        presenter_.SetPosition(index);
        ShowPlot();
        ShowTable();
    });
    setTabOrder(view_, position_);
    setTabOrder(position_, switches_[0]);
    setTabOrder(switches_[2], graphs_);
    ShowPlot();
    ShowTable();
    resize(1000, 560);
}

Graphing::CGraphCtrl* CDecayDlg::Graph() const {
    return graph_[static_cast<size_t>(presenter_.ViewIndex())];
}

void CDecayDlg::ShowPlot() {
    const Exporting::DecayPlot& plot = presenter_.Plot();
    const auto v = static_cast<size_t>(presenter_.ViewIndex());
    curves_[v].curves.clear();
    for (const Exporting::PlotCurve& c : plot.curves)
        curves_[v].curves.push_back(c.curve);
    graphs_->setCurrentIndex(static_cast<int>(v));
    ramp_->setVisible(presenter_.Message().empty() &&
                      presenter_.ViewIndex() == static_cast<int>(Exporting::DecayView::Waterfall));
    graph_[v]->SetTitle(Text(plot.title.empty() ? DecayPresenter::ViewNames()[v] : plot.title));
    graph_[v]->CurvesChanged();
    graph_[v]->Rescale();
}

void CDecayDlg::ShowTable() {
    const auto rows = presenter_.Table();
    table_->setRowCount(static_cast<int>(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            table_->setItem(static_cast<int>(r), static_cast<int>(c),
                            new QTableWidgetItem(Text(rows[r][c])));
    table_->resizeColumnsToContents();
    table_->setMinimumWidth(table_->horizontalHeader()->length() + 2 * table_->frameWidth() +
                            table_->verticalScrollBar()->sizeHint().width());
}
