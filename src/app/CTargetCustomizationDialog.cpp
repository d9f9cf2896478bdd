#include "app/CTargetCustomizationDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
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

// The house curve's and the limits' rows: the label with its mnemonic, the spin's control id.
struct HouseRow {
    TargetField field;
    const char* label;
    int controlId;
};
constexpr HouseRow kHouseRows[] = {
    {TargetField::ShelfGain, "Shelf &gain (dB):", IDC_SHELF_GAIN},
    {TargetField::ShelfCorner, "Shelf co&rner (Hz):", IDC_SHELF_CORNER},
    {TargetField::Tilt, "&Tilt (dB/octave):", IDC_TILT},
    {TargetField::MaxBoost, "&Max boost (dB):", IDC_MAX_BOOST},
    {TargetField::UpperLimit, "&Upper limit (Hz):", IDC_UPPER_LIMIT},
};

void AddRow(QFormLayout* form, const HouseRow& row, CustomControls::CSpinBase* spin,
            QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(row.label), parent);
    label->setBuddy(spin->Edit());
    spin->SetLabel(QString::fromWCharArray(FieldInfo(row.field).caption));
    form->addRow(label, spin);
}

const HouseRow& RowOf(TargetField field) {
    for (const HouseRow& row : kHouseRows)
        if (row.field == field)
            return row;
    return kHouseRows[0];
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
    for (TargetField field :
         {TargetField::Crossover, TargetField::HpOrder, TargetField::HpFreq, TargetField::MinEq}) {
        grid->addWidget(Group(field, Of(field).spin, this), cell / 2, cell % 2);
        ++cell;
    }
    classicFit_ = new QCheckBox(QString::fromLatin1(kClassicFitText), this);
    classicFit_->setAccessibleName(classicFit_->text());
    // Made in reading order before the buttons, so the focus chain follows it.
    QWidget* house = HouseGroup();
    QWidget* limits = LimitsGroup();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    autoDetect_ = buttons->addButton(QStringLiteral("Auto Detect"), QDialogButtonBox::ActionRole);
    autoDetect_->setAccessibleName(autoDetect_->text());
    autoDetect_->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(classicFit_);
    layout->addWidget(house);
    layout->addWidget(limits);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTargetCustomizationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(autoDetect_, &QPushButton::clicked, this, [this] { AutoDetect(); });
    connect(classicFit_, &QCheckBox::toggled, this,
            [this](bool classic) { presenter_.SetClassicFit(classic); });
    const TargetSettings initial;
    for (const TargetFieldInfo& info : TargetFields()) {
        Control& control = Of(info.field);
        control.value = info.get(initial);
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
    for (const HouseRow& row : kHouseRows) {
        const unsigned flags =
            FieldInfo(row.field).kind == TargetFieldKind::Tenths ? CustomControls::kTimes10 : 0;
        Of(row.field).spin->Attach(row.controlId, &Of(row.field).value,
                                   Range(presenter_.Rule(row.field)), flags);
    }
    setTabOrder(minEq_, classicFit_);
    presenter_.Show(initial);
}

CTargetCustomizationDialog::~CTargetCustomizationDialog() {
    // The controls are deleted after the presenter: nothing they signal then may reach it.
    for (Control& control : controls_)
        control.spin->disconnect(this);
    for (QWidget* control :
         std::initializer_list<QWidget*>{classicFit_, cutsOnly_, fitUpper_, chooseButton_, noFile_})
        control->disconnect(this);
}

QWidget* CTargetCustomizationDialog::HouseGroup() {
    auto* box = new QGroupBox(QString::fromLatin1(kHouseCurveGroup), this);
    auto* form = new QFormLayout(box);
    for (TargetField field :
         {TargetField::ShelfGain, TargetField::ShelfCorner, TargetField::Tilt}) {
        Of(field).spin = new CustomControls::CSpin<int>(box);
        AddRow(form, RowOf(field), Of(field).spin, box);
    }
    houseFile_ = new QLabel(QString::fromLatin1(kNoHouseFileText), box);
    houseFile_->setAccessibleName(QStringLiteral("House curve file"));
    chooseButton_ = new QPushButton(QString::fromWCharArray(L"C&hoose\u2026"), box);
    chooseButton_->setAccessibleName(QStringLiteral("Choose house curve file"));
    chooseButton_->setAutoDefault(false);
    noFile_ = new QPushButton(QStringLiteral("&") + QString::fromLatin1(kNoneText), box);
    noFile_->setAccessibleName(QStringLiteral("No house curve file"));
    noFile_->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(houseFile_, 1);
    row->addWidget(chooseButton_);
    row->addWidget(noFile_);
    form->addRow(QStringLiteral("File:"), row);
    connect(chooseButton_, &QPushButton::clicked, this, [this] { OnChooseFile(); });
    connect(noFile_, &QPushButton::clicked, this, [this] { presenter_.ClearHouseFile(); });
    return box;
}

QWidget* CTargetCustomizationDialog::LimitsGroup() {
    auto* box = new QGroupBox(QString::fromLatin1(kLimitsGroup), this);
    auto* form = new QFormLayout(box);
    Of(TargetField::MaxBoost).spin = new CustomControls::CSpin<int>(box);
    AddRow(form, RowOf(TargetField::MaxBoost), Of(TargetField::MaxBoost).spin, box);
    cutsOnly_ = new QCheckBox(QStringLiteral("Cuts on&ly"), box);
    cutsOnly_->setAccessibleName(QStringLiteral("Cuts only"));
    form->addRow(QString(), cutsOnly_);
    Of(TargetField::UpperLimit).spin = new CustomControls::CSpin<int>(box);
    AddRow(form, RowOf(TargetField::UpperLimit), Of(TargetField::UpperLimit).spin, box);
    fitUpper_ = new QCheckBox(QStringLiteral("Fit's o&wn upper limit"), box);
    fitUpper_->setAccessibleName(QStringLiteral("Fit's own upper limit"));
    form->addRow(QString(), fitUpper_);
    connect(cutsOnly_, &QCheckBox::toggled, this, [this](bool on) { presenter_.SetCutsOnly(on); });
    connect(fitUpper_, &QCheckBox::toggled, this, [this](bool on) { presenter_.SetFitUpper(on); });
    return box;
}

void CTargetCustomizationDialog::OnChooseFile() {
    std::optional<std::filesystem::path> path;
    if (chooseFile_) {
        path = chooseFile_(this);
    } else {
        const QString name =
            QFileDialog::getOpenFileName(this, QStringLiteral("House curve file"), QString(),
                                         QStringLiteral("Text files (*.txt);;All files (*)"));
        if (!name.isEmpty())
            path = std::filesystem::path(name.toStdWString());
    }
    if (path)
        presenter_.ChooseHouseFile(*path);
}

void CTargetCustomizationDialog::DrawLimits(bool cutsOnly, bool fitUpper, bool enabled) {
    for (auto [box, on] : {std::pair{cutsOnly_, cutsOnly}, std::pair{fitUpper_, fitUpper}}) {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
        box->setEnabled(enabled);
    }
}

void CTargetCustomizationDialog::DrawHouseFile(const std::wstring& name, bool enabled) {
    houseFile_->setText(name.empty() ? QString::fromLatin1(kNoHouseFileText)
                                     : QString::fromStdWString(name));
    chooseButton_->setEnabled(enabled);
    noFile_->setEnabled(enabled && !name.empty());
}

void CTargetCustomizationDialog::ShowFileError(const std::wstring& text) {
    const QString message = QString::fromStdWString(text);
    const QString caption = QString::fromLatin1(CustomControls::kBadValueCaption);
    if (messageBox_)
        messageBox_(this, message, caption);
    else
        QMessageBox::critical(this, caption, message);
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
