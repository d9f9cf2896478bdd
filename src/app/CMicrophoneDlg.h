#pragma once
// The microphone the Measure command records with: one of the recording devices (or the
// accepted measurement microphones, found by name) and a plain-text calibration file (or the
// enciphered file chosen by serial number).

#include <QDialog>
#include <string>
#include <vector>

#include "wizard/MeasureStep.h"

class QComboBox;
class QLineEdit;

class CMicrophoneDlg : public QDialog {
    Q_OBJECT
public:
    CMicrophoneDlg(const std::vector<std::wstring>& devices, const MicrophoneChoice& current,
                   QWidget* parent = nullptr);

    MicrophoneChoice Choice() const;
    QComboBox* Devices() const { return devices_; }
    QLineEdit* CalibrationFile() const { return file_; }

    void accept() override;

private:
    QComboBox* devices_;
    QLineEdit* file_;
};

inline constexpr char kAcceptedMicrophonesText[] = "Measurement microphone (found by name)";
