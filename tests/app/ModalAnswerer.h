#pragma once
// Answers the program's modal windows as a user would, from a timer that keeps running inside
// their modal loops: message boxes with their accepting button (OK, Yes, Retry), other dialogs
// by a handler chosen by object name. The wizard dialog is left alone: it closes by itself.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/CWizardDialog.h"

class ModalAnswerer {
public:
    using Handler = std::function<void(QDialog&)>;

    ModalAnswerer() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Turn(); });
        timer_.start();
    }

    // Handles dialogs of this object name (default: accept).
    void On(const QString& objectName, Handler handler) {
        handlers_[objectName] = std::move(handler);
    }
    // Leaves a modal window unanswered for as long as hold returns true for it (asked each turn).
    void Hold(std::function<bool(QWidget& modal)> hold) { hold_ = std::move(hold); }
    // Chooses the answer of a message box from its text (default: the accepting button).
    void Boxes(std::function<QMessageBox::StandardButton(const QString& text)> choose) {
        choose_ = std::move(choose);
    }

    std::vector<QString> boxes;    // "caption|text" of every message box answered
    std::vector<QString> dialogs;  // object names of the other dialogs answered

private:
    // The answer runs after this turn has returned: an answer that opens another modal window
    // would otherwise hold the timer inside its own turn.
    void Turn() {
        if (busy_)
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || qobject_cast<CWizardDialog*>(modal))
            return;
        if (hold_ && hold_(*modal))
            return;
        busy_ = true;
        QTimer::singleShot(0, modal, [this, modal] {
            busy_ = false;
            Answer(modal);
        });
    }

    void Answer(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back(box->windowTitle() + QLatin1Char('|') + box->text());
            QMessageBox::StandardButton wanted =
                choose_ ? choose_(box->text()) : QMessageBox::NoButton;
            for (QMessageBox::StandardButton b :
                 {wanted, QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Retry}) {
                if (QAbstractButton* button = box->button(b)) {
                    button->click();
                    return;
                }
            }
            box->reject();
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialogs.push_back(dialog->objectName());
            auto it = handlers_.find(dialog->objectName());
            if (it != handlers_.end())
                it->second(*dialog);
            else
                dialog->accept();
        }
    }

    QTimer timer_;
    std::map<QString, Handler> handlers_;
    std::function<QMessageBox::StandardButton(const QString&)> choose_;
    std::function<bool(QWidget&)> hold_;
    bool busy_ = false;
};
