#include "app/CTargetCustomizationDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "wizard/ProcDialog.h"
#include "wizard/TargetDetection.h"

namespace {

using CustomControls::Applicator;

// A group box with the field's caption holding its spin, which takes the caption as its label.
QGroupBox* Group(TargetField field, CustomControls::CSpinBase* spin, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromWCharArray(FieldInfo(field).caption), parent);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(spin);
    spin->SetLabel(box->title());
    return box;
}

Applicator<int> Range(const TargetFieldRule& rule) {
    return Applicator<int>{rule.minimum, rule.maximum, rule.step};
}

}  // namespace

CTargetCustomizationDialog::CTargetCustomizationDialog(QWidget* parent, const DocData& data,
                                                       Threading::MessageBridge* bridge)
    : QDialog(parent),
      worker_(bridge ? std::make_unique<TargetDetectWorker>(*bridge) : nullptr),
      presenter_(*this, worker_ ? worker_->Detector(data) : DetectAtOnce(data)) {
    setObjectName(QStringLiteral("CTargetCustomizationDialog"));
    setWindowTitle(QString::fromLatin1(kTargetCaption));
    setAccessibleName(windowTitle());
    crossover_ = new CustomControls::CSpin<int>(this);
    order_ = new CustomControls::SpinTextBox<CustomControls::EnumTypes<SLOPE_ORDER>>(this);
    hpFreq_ = new CustomControls::CSpinText<int>(this);
    minEq_ = new CustomControls::CSpinText<int>(this);
    Of(TargetField::Crossover).spin = crossover_;
    Of(TargetField::HpOrder).spin = order_;
    Of(TargetField::HpFreq).spin = hpFreq_;
    Of(TargetField::MinEq).spin = minEq_;
    auto* grid = new QGridLayout;
    int cell = 0;
    for (const TargetFieldInfo& info : TargetFields()) {
        grid->addWidget(Group(info.field, Of(info.field).spin, this), cell / 2, cell % 2);
        ++cell;
    }
    classicFit_ = new QCheckBox(QString::fromLatin1(kClassicFitText), this);
    classicFit_->setAccessibleName(classicFit_->text());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    autoDetect_ = buttons->addButton(QStringLiteral("Auto Detect"), QDialogButtonBox::ActionRole);
    autoDetect_->setAccessibleName(autoDetect_->text());
    autoDetect_->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(classicFit_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTargetCustomizationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(autoDetect_, &QPushButton::clicked, this, [this] { AutoDetect(); });
    connect(classicFit_, &QCheckBox::toggled, this,
            [this](bool classic) { presenter_.SetClassicFit(classic); });
    const TargetSettings initial;
    for (const TargetFieldInfo& info : TargetFields()) {
        Control& control = Of(info.field);
        control.value = initial.*info.value;
        connect(control.spin, &CustomControls::CSpinBase::ValueChanged, this,
                [this, field = info.field] { presenter_.SetValue(field, Of(field).value); });
    }
    crossover_->Attach(IDC_XOVER, &Of(TargetField::Crossover).value,
                       Range(presenter_.Rule(TargetField::Crossover)));
    order_->Attach(IDC_HP_ORDER, &Of(TargetField::HpOrder).value);
    hpFreq_->Attach(IDC_HP_FREQ, &Of(TargetField::HpFreq).value,
                    Applicator<int>{kFrequencyMin, kCrossoverMax, 1});
    minEq_->Attach(IDC_MIN_EQ, &Of(TargetField::MinEq).value,
                   Applicator<int>{kFrequencyMin, kCrossoverMax, 1});
    setTabOrder(crossover_, order_);
    setTabOrder(order_, hpFreq_);
    setTabOrder(hpFreq_, minEq_);
    setTabOrder(minEq_, classicFit_);
    presenter_.Show(initial);
}

CTargetCustomizationDialog::~CTargetCustomizationDialog() {
    // The controls are deleted after the presenter: nothing they signal then may reach it.
    for (Control& control : controls_)
        control.spin->disconnect(this);
    classicFit_->disconnect(this);
}

void CTargetCustomizationDialog::DrawField(TargetField field, const TargetFieldRule& rule,
                                           int32_t value) {
    Control& control = Of(field);
    // An unchanged field is left alone, so text typed into it stays until it is committed.
    if (control.rule != rule || control.value != value || control.spin->Value() != value) {
        control.value = value;
        control.rule = rule;
        control.spin->SetRule(Range(rule));
    }
    control.spin->setEnabled(rule.enabled);
}

void CTargetCustomizationDialog::DrawClassicFit(bool classic, bool enabled) {
    const QSignalBlocker quiet(classicFit_);
    classicFit_->setChecked(classic);
    classicFit_->setEnabled(enabled);
}

void CTargetCustomizationDialog::DrawCommands(bool enabled) {
    autoDetect_->setEnabled(enabled);
    ok_->setEnabled(enabled);
}

bool CTargetCustomizationDialog::CommitField(TargetField field, int32_t& value) {
    Control& control = Of(field);
    const bool good = control.spin->Validate();
    value = control.value;
    return good;
}

void CTargetCustomizationDialog::accept() {
    if (presenter_.Accept())
        QDialog::accept();
}

bool CTargetCustomizationDialog::DoModal(TargetSettings& settings) {
    SetSettings(settings);
    if (exec() != QDialog::Accepted)
        return false;
    settings = Settings();
    return true;
}

namespace {

// Stands for the dialog on the step's worker: the dialog is made, shown and destroyed on the UI
// thread while the step waits.
class QtTargetDialog final : public ITargetDialog {
public:
    QtTargetDialog(IProcDialog& owner, const DocData& data, Threading::MessageBridge& bridge)
        : owner_(owner), data_(data), bridge_(bridge) {}

    bool DoModal(TargetSettings& settings) override {
        bool accepted = false;
        const bool ran = owner_.OnUiThread([&] {
            CTargetCustomizationDialog dialog(dynamic_cast<QWidget*>(owner_.GetWnd()), data_,
                                              &bridge_);
            accepted = dialog.DoModal(settings);
        });
        return ran && accepted;
    }

private:
    IProcDialog& owner_;
    const DocData& data_;
    Threading::MessageBridge& bridge_;
};

}  // namespace

TargetDialogFactory QtTargetDialogFactory(Threading::MessageBridge& bridge) {
    return [&bridge](IProcDialog& owner, const DocData& data) -> std::unique_ptr<ITargetDialog> {
        return std::make_unique<QtTargetDialog>(owner, data, bridge);
    };
}
