#pragma once
// File > History: the records of a subwoofer's history with a Restore button. It draws and
// forwards; the logic is HistoryPresenter's.

#include <QDialog>
#include <memory>

#include "app/HistoryPresenter.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class CHistoryDlg : public QDialog, public IHistoryView {
    Q_OBJECT
public:
    // The presenter is made over this dialog as its view.
    CHistoryDlg(const std::function<std::unique_ptr<HistoryPresenter>(IHistoryView&)>& make,
                QWidget* parent = nullptr);
    ~CHistoryDlg() override;

    // IHistoryView
    void ShowSubwoofers(const std::vector<std::wstring>& names, int selected) override;
    void ShowRecords(const std::vector<HistoryRow>& rows) override;
    void ShowNotice(const std::wstring& text) override;
    void EnableRestore(bool enabled) override;

    QComboBox* Subwoofers() const { return subwoofers_; }
    QTreeWidget* Records() const { return records_; }
    QPushButton* RestoreButton() const { return restore_; }
    QLabel* Notice() const { return notice_; }

private:
    QComboBox* subwoofers_;
    QTreeWidget* records_;
    QLabel* notice_;
    QPushButton* restore_;
    std::unique_ptr<HistoryPresenter> presenter_;
    bool filling_ = false;  // the view is being filled: no choices to forward
};
