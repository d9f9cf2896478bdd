#include "app/CTargetCustomizationDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "wizard/ProcDialog.h"

namespace {

using CustomControls::Applicator;

// A group box with its caption holding one spin, which takes the caption as its label.
QGroupBox* Group(const char* caption, CustomControls::CSpinBase* spin, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(spin);
    spin->SetLabel(box->title());
    return box;
}

}  // namespace

CTargetCustomizationDialog::CTargetCustomizationDialog(QWidget* parent, const DocData& data)
    : QDialog(parent), data_(data) {
    setObjectName(QStringLiteral("CTargetCustomizationDialog"));
    setWindowTitle(QString::fromLatin1(kTargetCaption));
    setAccessibleName(windowTitle());
    crossover_ = new CustomControls::CSpin<int>(this);
    order_ = new CustomControls::SpinTextBox<CustomControls::EnumTypes<SLOPE_ORDER>>(this);
    hpFreq_ = new CustomControls::CSpinText<int>(this);
    minEq_ = new CustomControls::CSpinText<int>(this);
    auto* grid = new QGridLayout;
    grid->addWidget(Group("X-Over", crossover_, this), 0, 0);
    grid->addWidget(Group("High Pass Order", order_, this), 0, 1);
    grid->addWidget(Group("High Pass Frequency", hpFreq_, this), 1, 0);
    grid->addWidget(Group("Min EQ Frequency", minEq_, this), 1, 1);
    classicFit_ = new QCheckBox(QString::fromLatin1(kClassicFitText), this);
    classicFit_->setAccessibleName(classicFit_->text());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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
    connect(classicFit_, &QCheckBox::toggled, this, [this](bool classic) {
        settings_.fit = classic ? FitMethod::Classic : FitMethod::Refined;
    });
    for (CustomControls::CSpinBase* spin : {static_cast<CustomControls::CSpinBase*>(crossover_),
                                            static_cast<CustomControls::CSpinBase*>(order_),
                                            static_cast<CustomControls::CSpinBase*>(hpFreq_),
                                            static_cast<CustomControls::CSpinBase*>(minEq_)})
        connect(spin, &CustomControls::CSpinBase::ValueChanged, this,
                [this] { RefreshControls(); });
    crossover_->Attach(IDC_XOVER, &settings_.crossover,
                       Applicator<int>{kCrossoverMin, kCrossoverMax, kCrossoverStep});
    order_->Attach(IDC_HP_ORDER, &settings_.hpOrder);
    hpFreq_->Attach(IDC_HP_FREQ, &settings_.hpFreq,
                    Applicator<int>{kFrequencyMin, kCrossoverMax, 1});
    minEq_->Attach(IDC_MIN_EQ, &settings_.minEqFreq,
                   Applicator<int>{kFrequencyMin, kCrossoverMax, 1});
    setTabOrder(crossover_, order_);
    setTabOrder(order_, hpFreq_);
    setTabOrder(hpFreq_, minEq_);
    setTabOrder(minEq_, classicFit_);
    RefreshControls();
}

void CTargetCustomizationDialog::SetSettings(const TargetSettings& settings) {
    settings_ = settings;
    RefreshControls();
}

void CTargetCustomizationDialog::RefreshControls() {
    // Every value within its control's range, the frequencies up to the crossover.
    settings_ = LimitTargetSettings(settings_);
    const int top = settings_.crossover;
    crossover_->SetRule(Applicator<int>{kCrossoverMin, kCrossoverMax, kCrossoverStep});
    order_->SetRule(Applicator<int>{kHpOrderMin, kHpOrderMax, 1});
    hpFreq_->SetRule(Applicator<int>{kFrequencyMin, top, 1});
    minEq_->SetRule(Applicator<int>{kFrequencyMin, top, 1});
    hpFreq_->setEnabled(settings_.hpOrder != SLOPE_AUTO && settings_.hpOrder != SLOPE_FLAT);
    minEq_->setEnabled(settings_.hpOrder != SLOPE_AUTO);
    const QSignalBlocker quiet(classicFit_);
    classicFit_->setChecked(settings_.fit == FitMethod::Classic);
}

void CTargetCustomizationDialog::AutoDetect() {
    AutoDetectTargetSettings(data_, settings_);
    RefreshControls();
}

void CTargetCustomizationDialog::accept() {
    if (!crossover_->Validate())
        return;
    RefreshControls();
    // The order shows names and changes only through its buttons: nothing to parse.
    for (CustomControls::CSpinBase* spin : {static_cast<CustomControls::CSpinBase*>(hpFreq_),
                                            static_cast<CustomControls::CSpinBase*>(minEq_)})
        if (spin->isEnabled() && !spin->Validate())
            return;
    settings_ = LimitTargetSettings(settings_);
    QDialog::accept();
}

bool CTargetCustomizationDialog::DoModal(TargetSettings& settings) {
    SetSettings(settings);
    if (exec() != QDialog::Accepted)
        return false;
    settings = settings_;
    return true;
}

TargetDialogFactory QtTargetDialogFactory() {
    return [](IProcDialog& owner, const DocData& data) -> std::unique_ptr<ITargetDialog> {
        return std::make_unique<CTargetCustomizationDialog>(dynamic_cast<QWidget*>(owner.GetWnd()),
                                                            data);
    };
}
