#include "app/CPreMeasurementDlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
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
    auto* groupLayout = new QVBoxLayout(group);
    spin_ = new CustomControls::CSpin<int>(group);
    spin_->SetLabel(group->title());
    spin_->Attach(IDC_POSITIONS, &positions_,
                  CustomControls::Applicator<int>{kMinPositions, kMaxPositions, 1});
    groupLayout->addWidget(spin_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreMeasurementDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

void CPreMeasurementDlg::accept() {
    if (spin_->Validate())
        QDialog::accept();
}

bool CPreMeasurementDlg::DoModal(CCustomizeMeasurementProcDlg& dialog) {
    positions_ = dialog.PositionCount();
    text_->setPlainText(DisplayText(dialog.Text()));
    spin_->SetRule(CustomControls::Applicator<int>{dialog.MinCount(), kMaxPositions, 1});
    if (exec() != QDialog::Accepted)
        return false;
    dialog.SetPositionCount(positions_);
    return true;
}

PreMeasurementDialog QtPreMeasurementDialog() {
    return [](IProcDialog& owner, CCustomizeMeasurementProcDlg& dialog) {
        CPreMeasurementDlg window(dynamic_cast<QWidget*>(owner.GetWnd()));
        return window.DoModal(dialog);
    };
}
