#include "app/CPreMeasurementDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/QtPrompt.h"
#include "ui/qt/CSpin.h"
#include "wizard/ProcDialog.h"

CPreMeasurementDlg::CPreMeasurementDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CCustomizeMeasurementProcDlg"));
    setWindowTitle(QString::fromStdWString(kPreMeasurementCaption));
    setAccessibleName(windowTitle());
    text_ = new QPlainTextEdit(DisplayText(kPreMeasurementText), this);
    text_->setReadOnly(true);
    text_->setAccessibleName(QStringLiteral("IMPORTANT!!"));
    text_->setMinimumSize(text_->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 100,
                          text_->fontMetrics().lineSpacing() * 14);
    text_->setTabChangesFocus(true);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* group = new QGroupBox(QString::fromStdWString(kPositionCountCaption), this);
    auto* groupLayout = new QHBoxLayout(group);
    spin_ = new CustomControls::CSpin<int>(group);
    spin_->SetLabel(group->title());
    spin_->Attach(IDC_POSITIONS, &positions_,
                  CustomControls::Applicator<int>{kMinPositions, kMaxPositions, 1});
    untilSettled_ = new QCheckBox(QStringLiteral("&Until settled"), group);
    untilSettled_->setObjectName(QStringLiteral("UntilSettled"));
    untilSettled_->setToolTip(
        QStringLiteral("Measure at least %1 positions and stop at the first count up to %2 at "
                       "which another position could move the average by at most %3 dB")
            .arg(kMinPositions)
            .arg(kMaxPositions)
            .arg(kDefaultSettleDb, 0, 'f', 0));
    untilSettled_->setAccessibleDescription(untilSettled_->toolTip());
    connect(untilSettled_, &QCheckBox::toggled, spin_, [this](bool on) { spin_->setEnabled(!on); });
    groupLayout->addWidget(spin_, 1);
    groupLayout->addWidget(untilSettled_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreMeasurementDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

void CPreMeasurementDlg::accept() {
    if (untilSettled_->isChecked() || spin_->Validate())
        QDialog::accept();
}

bool CPreMeasurementDlg::DoModal(CCustomizeMeasurementProcDlg& dialog) {
    positions_ = dialog.PositionCount();
    text_->setPlainText(DisplayText(dialog.Text()));
    spin_->SetRule(CustomControls::Applicator<int>{dialog.MinCount(), kMaxPositions, 1});
    const bool settles = dialog.MinCount() == kMinPositions;
    untilSettled_->setVisible(settles);
    untilSettled_->setChecked(settles && dialog.UntilSettled());
    if (exec() != QDialog::Accepted)
        return false;
    dialog.SetUntilSettled(settles && untilSettled_->isChecked());
    if (!dialog.UntilSettled())
        dialog.SetPositionCount(positions_);
    return true;
}

PreMeasurementDialog QtPreMeasurementDialog() {
    return [](IProcDialog& owner, CCustomizeMeasurementProcDlg& dialog) {
        CPreMeasurementDlg window(dynamic_cast<QWidget*>(owner.GetWnd()));
        return window.DoModal(dialog);
    };
}
