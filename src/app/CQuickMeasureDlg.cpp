#include "app/CQuickMeasureDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QVBoxLayout>

#include "ui/qt/CGraphCtrl.h"

CQuickMeasureDlg::CQuickMeasureDlg(Threading::MessageBridge& bridge, MeasureEnvironment environment,
                                   QWidget* parent, std::optional<SimulatedMicrophone> microphone)
    : QDialog(parent), prompt_([this] { return static_cast<QWidget*>(this); }) {
    setObjectName(QStringLiteral("CQuickMeasureDlg"));
    const QString caption = QString::fromStdWString(kQuickMeasureCaption);
    setWindowTitle(caption);
    setAccessibleName(caption);
    graph_ = new Graphing::CGraphCtrl(this);
    graph_->setObjectName(QStringLiteral("MFCGraphCtrl"));
    graph_->SetTitle(QStringLiteral("Response"));
    graph_->setFocusPolicy(Qt::StrongFocus);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("IDC_%1").arg(IDC_QM_PROGRESS));
    progress_->setAccessibleName(QStringLiteral("Progress"));
    progress_->setTextVisible(false);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("IDC_%1").arg(IDC_QM_LOG));
    log_->setAccessibleName(QStringLiteral("Log"));
    log_->setReadOnly(true);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setMaximumHeight(110);

    auto* column = new QVBoxLayout;
    AddButton(IDC_QM_CONNECT, QStringLiteral("C&onnect"), QStringLiteral("Connect"));
    AddButton(IDC_QM_DISCONNECT, QStringLiteral("&Disconnect"), QStringLiteral("Disconnect"));
    AddButton(IDC_QM_START, QStringLiteral("&Start"), QStringLiteral("Start"));
    AddButton(IDC_QM_STOP, QStringLiteral("S&top"), QStringLiteral("Stop"));
    AddButton(IDC_QM_AUTOSCALE, QStringLiteral("&Autoscale"), QStringLiteral("Autoscale"));
    for (int id : {IDC_QM_CONNECT, IDC_QM_DISCONNECT, IDC_QM_START, IDC_QM_STOP, IDC_QM_AUTOSCALE})
        column->addWidget(buttons_[id]);
    if (microphone && microphone->moveTo) {
        auto* label = new QLabel(QStringLiteral("Simulated &microphone position:"), this);
        label->setWordWrap(true);
        position_ = new QSpinBox(this);
        position_->setObjectName(QStringLiteral("SimulatedMicrophonePosition"));
        position_->setAccessibleName(QStringLiteral("Simulated microphone position"));
        position_->setRange(1, std::max(microphone->count, 1));
        position_->setValue(microphone->position + 1);
        label->setBuddy(position_);
        connect(position_, &QSpinBox::valueChanged, this,
                [move = microphone->moveTo](int value) { move(value - 1); });
        column->addSpacing(12);
        column->addWidget(label);
        column->addWidget(position_);
    }
    column->addStretch();
    column->addWidget(AddButton(IDC_QM_CLOSE, QStringLiteral("&Close"), QStringLiteral("Close")));

    auto* layout = new QGridLayout(this);
    layout->addWidget(graph_, 0, 0);
    layout->addLayout(column, 0, 1);
    layout->addWidget(progress_, 1, 0, 1, 2);
    layout->addWidget(log_, 2, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(0, 1);
    // 505 x 273 dialog units.
    resize(960, 560);

    engine_ = std::make_unique<QuickMeasurePresenter>(*this, bridge, std::move(environment));
    graph_->SetCurveSource(engine_.get());
    connect(buttons_[IDC_QM_CONNECT], &QPushButton::clicked, this,
            [this] { engine_->OnConnect(); });
    connect(buttons_[IDC_QM_DISCONNECT], &QPushButton::clicked, this,
            [this] { engine_->OnDisconnect(); });
    connect(buttons_[IDC_QM_START], &QPushButton::clicked, this, [this] { engine_->OnStart(); });
    connect(buttons_[IDC_QM_STOP], &QPushButton::clicked, this, [this] { engine_->OnStop(); });
    connect(buttons_[IDC_QM_AUTOSCALE], &QPushButton::clicked, this, [this] { RedrawGraph(true); });
    connect(buttons_[IDC_QM_CLOSE], &QPushButton::clicked, this, &CQuickMeasureDlg::reject);
    engine_->OnInitDialog();
    buttons_[IDC_QM_CONNECT]->setFocus();
}

CQuickMeasureDlg::~CQuickMeasureDlg() {
    graph_->SetCurveSource(nullptr);
    engine_->OnClose();
}

QPushButton* CQuickMeasureDlg::AddButton(int id, const QString& text, const QString& name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("IDC_%1").arg(id));
    button->setAccessibleName(name);
    button->setAutoDefault(false);
    buttons_[id] = button;
    return button;
}

QPushButton* CQuickMeasureDlg::Button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void CQuickMeasureDlg::DrawEnable(QuickButton button, bool enabled) {
    int id = IDC_QM_CONNECT;
    switch (button) {
        case QuickButton::Connect:
            break;
        case QuickButton::Disconnect:
            id = IDC_QM_DISCONNECT;
            break;
        case QuickButton::Start:
            id = IDC_QM_START;
            break;
        case QuickButton::Stop:
            id = IDC_QM_STOP;
            break;
    }
    if (QPushButton* b = Button(id))
        b->setEnabled(enabled);
}

void CQuickMeasureDlg::AppendLog(const std::wstring& text) {
    QString line = QString::fromStdWString(text);
    line.remove(QLatin1Char('\r'));
    log_->moveCursor(QTextCursor::End);
    log_->insertPlainText(line);
    log_->moveCursor(QTextCursor::End);
}

void CQuickMeasureDlg::DrawProgressRange(int32_t n) {
    // An empty range is an empty bar, not the busy indicator.
    progress_->setRange(0, std::max(n, 1));
    progress_->setValue(0);
}

void CQuickMeasureDlg::DrawProgressPos(int32_t n) {
    progress_->setValue(std::min(n, progress_->maximum()));
}

void CQuickMeasureDlg::RedrawGraph(bool rescale) {
    if (rescale)
        graph_->Rescale();
    else
        graph_->CurvesChanged();
}

void CQuickMeasureDlg::reject() {
    engine_->OnClose();
    QDialog::reject();
}
