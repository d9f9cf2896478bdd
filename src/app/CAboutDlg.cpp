#include "app/CAboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/AppText.h"
#include "ui/qt/CStaticLink.h"

CAboutDlg::CAboutDlg(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(QStringLiteral("About ") + title);
    setAccessibleName(windowTitle());
    auto* icon = new QLabel(this);
    const QIcon appIcon = QApplication::windowIcon().isNull()
                              ? style()->standardIcon(QStyle::SP_MessageBoxInformation)
                              : QApplication::windowIcon();
    icon->setPixmap(appIcon.pixmap(48, 48));
    icon->setAccessibleName(QStringLiteral("Icon"));
    product_ = new QLabel(
        QString::fromStdWString(AboutProductText(title.toStdWString(), ProgramVersionText())),
        this);
    product_->setAccessibleName(product_->text());
    auto* maker = new QLabel(QString::fromStdWString(kMakerText), this);
    maker->setAccessibleName(maker->text());
    web_ = new CustomControls::CStaticLink(QString::fromStdWString(kWebPage), this);
    support_ = new CustomControls::CStaticLink(QString::fromStdWString(kSupportPage), this);
    web_->setAccessibleName(web_->text());
    support_->setAccessibleName(support_->text());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // Opens on OK, so that Enter closes it.
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    ok->setFocus(Qt::OtherFocusReason);
    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(product_, 0, 1);
    layout->addWidget(maker, 1, 1);
    layout->addWidget(web_, 2, 1);
    layout->addWidget(support_, 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
}
