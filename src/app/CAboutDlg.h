#pragma once
// The about dialog: icon, product text with the program version, maker line and two links.

#include <QDialog>

class QLabel;

namespace CustomControls {
class CStaticLink;
}

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString& title, QWidget* parent = nullptr);

    QLabel* ProductText() const { return product_; }
    CustomControls::CStaticLink* WebLink() const { return web_; }
    CustomControls::CStaticLink* SupportLink() const { return support_; }

private:
    QLabel* product_;
    CustomControls::CStaticLink* web_;
    CustomControls::CStaticLink* support_;
};
