#include "app/CWelcomeDlg.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CWelcomeDlg::CWelcomeDlg(const QString& caption, std::function<void(QWidget*)> showAbout,
                         QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CWelcomeDlg"));
    setWindowTitle(caption);
    setAccessibleName(caption);
    auto* welcome = new QLabel(QStringLiteral("Welcome!"), this);
    QFont font = welcome->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setStretch(150);
    welcome->setFont(font);
    welcome->setAccessibleName(welcome->text());
    measure_ = new QRadioButton(QStringLiteral("Start a &new measurement"), this);
    open_ = new QRadioButton(QStringLiteral("Open a &previous session"), this);
    measure_->setAccessibleName(QStringLiteral("Start a new measurement"));
    open_->setAccessibleName(QStringLiteral("Open a previous session"));
    measure_->setChecked(true);
    measure_->installEventFilter(this);
    open_->installEventFilter(this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    exit_ = buttons->addButton(QStringLiteral("E&xit"), QDialogButtonBox::RejectRole);
    QPushButton* about =
        buttons->addButton(QStringLiteral("&About..."), QDialogButtonBox::HelpRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    exit_->setAccessibleName(QStringLiteral("Exit"));
    about->setAccessibleName(QStringLiteral("About..."));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(about, &QPushButton::clicked, this, [this, showAbout] {
        if (showAbout)
            showAbout(this);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(welcome);
    layout->addWidget(measure_);
    layout->addWidget(open_);
    layout->addWidget(buttons);
}

int CWelcomeDlg::Choice() const {
    return open_->isChecked() ? kWelcomeOpen : kWelcomeMeasure;
}

bool CWelcomeDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && (watched == measure_ || watched == open_)) {
        static_cast<QRadioButton*>(watched)->setChecked(true);
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
