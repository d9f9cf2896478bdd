#pragma once
// The welcome dialog: start a new measurement (choice 0) or open a previous session (choice 1);
// a double-click on a choice acts as OK; "Exit" cancels; "About..." opens the about dialog.

#include <QDialog>
#include <functional>

class QRadioButton;
class QPushButton;

inline constexpr int kWelcomeMeasure = 0;
inline constexpr int kWelcomeOpen = 1;

class CWelcomeDlg : public QDialog {
    Q_OBJECT
public:
    // showAbout opens the about dialog over this one.
    CWelcomeDlg(const QString& caption, std::function<void(QWidget*)> showAbout,
                QWidget* parent = nullptr);

    int Choice() const;
    QRadioButton* MeasureChoice() const { return measure_; }
    QRadioButton* OpenChoice() const { return open_; }
    QPushButton* ExitButton() const { return exit_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRadioButton* measure_;
    QRadioButton* open_;
    QPushButton* exit_;
};
