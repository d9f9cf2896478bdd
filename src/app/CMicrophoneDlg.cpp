#include "app/CMicrophoneDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "measure/TextCalibration.h"
#include "threading/Errors.h"

CMicrophoneDlg::CMicrophoneDlg(const std::vector<std::wstring>& devices,
                               const MicrophoneChoice& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CMicrophoneDlg"));
    setWindowTitle(QStringLiteral("Microphone"));
    devices_ = new QComboBox(this);
    devices_->setObjectName(QStringLiteral("MicrophoneDevice"));
    devices_->setAccessibleName(QStringLiteral("Recording device"));
    devices_->addItem(QString::fromLatin1(kAcceptedMicrophonesText), QString());
    for (const std::wstring& name : devices)
        devices_->addItem(QString::fromStdWString(name), QString::fromStdWString(name));
    const QString chosen = QString::fromStdWString(current.device);
    if (!chosen.isEmpty() && devices_->findData(chosen) < 0)
        devices_->addItem(chosen, chosen);
    devices_->setCurrentIndex(std::max(0, devices_->findData(chosen)));

    file_ = new QLineEdit(QString::fromStdWString(current.textCalibration.wstring()), this);
    file_->setObjectName(QStringLiteral("CalibrationFile"));
    file_->setAccessibleName(QStringLiteral("Text calibration file"));
    file_->setPlaceholderText(QStringLiteral("Enciphered calibration file, chosen by serial"));
    // Wide enough for the whole placeholder, with room for the frame and the cursor.
    file_->setMinimumWidth(file_->fontMetrics().horizontalAdvance(file_->placeholderText()) +
                           file_->fontMetrics().averageCharWidth() * 4);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getOpenFileName(
            this, QStringLiteral("Calibration file"), file_->text(),
            QStringLiteral("Calibration text (*.txt *.cal *.frd);;All Files (*)"));
        if (!name.isEmpty())
            file_->setText(name);
    });
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_, 1);
    fileRow->addWidget(browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Recording device:"), devices_);
    form->addRow(QStringLiteral("Text calibration file:"), fileRow);
    form->addRow(buttons);
}

MicrophoneChoice CMicrophoneDlg::Choice() const {
    MicrophoneChoice choice;
    choice.device = devices_->currentData().toString().toStdWString();
    choice.textCalibration = file_->text().trimmed().toStdWString();
    return choice;
}

void CMicrophoneDlg::accept() {
    // A bad file, or one not covering the band a measurement needs, is refused here with the
    // reason rather than at the next Measure.
    const MicrophoneChoice choice = Choice();
    if (!choice.textCalibration.empty()) {
        try {
            Security::ReadMeasuringCalibration(choice.textCalibration);
        } catch (const tsl::wruntime_error& e) {
            QMessageBox::warning(this, windowTitle(), QString::fromStdWString(e.wwhat()));
            return;
        }
    }
    QDialog::accept();
}
