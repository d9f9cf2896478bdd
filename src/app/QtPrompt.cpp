#include "app/QtPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "threading/PromptAnswers.h"

using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;

QString DisplayText(const std::wstring& text) {
    QString s = QString::fromStdWString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    s.remove(QLatin1Char('\r'));
    return s;
}

namespace {

QMessageBox::StandardButtons ToButtons(MsgButtons b) {
    switch (b) {
        case MsgButtons::Ok:
            return QMessageBox::Ok;
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToIcon(MsgIcon i) {
    switch (i) {
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

MsgResult FromButton(int button, MsgButtons set) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgResult::Ok;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Retry:
            return MsgResult::Retry;
        case QMessageBox::Abort:
            return MsgResult::Abort;
        case QMessageBox::Ignore:
            return MsgResult::Ignore;
        default:
            return Threading::DecliningResult(set);
    }
}

// Moves box below owner's frame, or above it when the screen's available area has no room
// below, kept inside that area.
void PlaceBeside(QWidget& box, const QWidget& owner) {
    box.adjustSize();
    const QRect frame = owner.frameGeometry();
    const QSize size = box.frameGeometry().size();
    const int gap = box.fontMetrics().height() / 2;
    QPoint at(frame.center().x() - size.width() / 2, frame.bottom() + gap);
    if (const QScreen* screen = owner.screen()) {
        const QRect area = screen->availableGeometry();
        if (at.y() + size.height() > area.bottom())
            at.setY(frame.top() - gap - size.height());
        at.setX(
            std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
        at.setY(
            std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    }
    box.move(at);
}

}  // namespace

MsgResult QtPrompt::MessageBox(const std::wstring& text, const std::wstring& caption,
                               MsgButtons buttons, MsgIcon icon) {
    QWidget* owner = owner_ ? owner_() : nullptr;
    QMessageBox box(ToIcon(icon), QString::fromStdWString(caption), DisplayText(text),
                    ToButtons(buttons), owner);
    box.setWindowModality(Qt::ApplicationModal);
    if (placement_ == Placement::BesideOwner && owner != nullptr && owner->isVisible())
        PlaceBeside(box, *owner);
    box.setAccessibleName(QString::fromStdWString(caption));
    box.setAccessibleDescription(DisplayText(text));
    const QPointer<QMessageBox> outer = open_;
    open_ = &box;
    const int pressed = box.exec();
    open_ = outer;
    return FromButton(pressed, buttons);
}

void QtPrompt::CloseOpen() {
    if (open_)
        open_->done(QMessageBox::NoButton);
}

std::optional<size_t> QtPrompt::Choose(const std::wstring& prompt,
                                       const std::vector<std::wstring>& choices) {
    QDialog dialog(owner_ ? owner_() : nullptr);
    dialog.setObjectName(QStringLiteral("CSelectionDlg"));
    dialog.setWindowTitle(QString::fromLatin1(kSelectionCaption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(DisplayText(prompt), &dialog);
    auto* list = new QListWidget(&dialog);
    list->setAccessibleName(label->text());
    label->setBuddy(list);
    for (const auto& choice : choices)
        list->addItem(QString::fromStdWString(choice));
    if (!choices.empty())
        list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return std::nullopt;
    return static_cast<size_t>(list->currentRow());
}
