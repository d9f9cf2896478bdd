#include "app/CHistoryDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CHistoryDlg::CHistoryDlg(
    const std::function<std::unique_ptr<HistoryPresenter>(IHistoryView&)>& make, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CHistoryDlg"));
    setWindowTitle(QStringLiteral("History"));
    subwoofers_ = new QComboBox(this);
    subwoofers_->setObjectName(QStringLiteral("HistorySubwoofer"));
    subwoofers_->setAccessibleName(QStringLiteral("Subwoofer"));
    auto* subwooferLabel = new QLabel(QStringLiteral("&Subwoofer:"), this);
    subwooferLabel->setBuddy(subwoofers_);

    records_ = new QTreeWidget(this);
    records_->setObjectName(QStringLiteral("HistoryRecords"));
    records_->setAccessibleName(QStringLiteral("Records"));
    records_->setRootIsDecorated(false);
    records_->setAllColumnsShowFocus(true);
    records_->setHeaderLabels({QStringLiteral("N"), QStringLiteral("Date"), QStringLiteral("Kind"),
                               QStringLiteral("Document"), QStringLiteral("Checksum")});
    records_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    records_->setMinimumWidth(records_->fontMetrics().averageCharWidth() * 90);
    auto* recordsLabel = new QLabel(QStringLiteral("&Records:"), this);
    recordsLabel->setBuddy(records_);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("HistoryNotice"));
    notice_->setWordWrap(true);
    notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    restore_ = buttons->addButton(QStringLiteral("R&estore"), QDialogButtonBox::ActionRole);
    restore_->setObjectName(QStringLiteral("HistoryRestore"));
    restore_->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(subwooferLabel, subwoofers_);
    layout->addLayout(form);
    layout->addWidget(recordsLabel);
    layout->addWidget(records_, 1);
    layout->addWidget(notice_);
    layout->addWidget(buttons);

    presenter_ = make(*this);
    connect(subwoofers_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            presenter_->ChooseSubwoofer(index);
    });
    connect(records_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!filling_)
            presenter_->SelectRecord(item ? records_->indexOfTopLevelItem(item) : -1);
    });
    connect(restore_, &QPushButton::clicked, this, [this] { presenter_->Restore(); });
    presenter_->Start();
}

CHistoryDlg::~CHistoryDlg() = default;

void CHistoryDlg::ShowSubwoofers(const std::vector<std::wstring>& names, int selected) {
    filling_ = true;
    subwoofers_->clear();
    for (const std::wstring& name : names)
        subwoofers_->addItem(QString::fromStdWString(name));
    subwoofers_->setCurrentIndex(selected);
    subwoofers_->setEnabled(!names.empty());
    filling_ = false;
}

void CHistoryDlg::ShowRecords(const std::vector<HistoryRow>& rows) {
    filling_ = true;
    records_->clear();
    for (const HistoryRow& row : rows)
        records_->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdWString(row.number), QString::fromStdWString(row.date),
             QString::fromStdWString(row.kind), QString::fromStdWString(row.document),
             QString::fromStdWString(row.checksum)}));
    records_->setCurrentItem(nullptr);
    filling_ = false;
}

void CHistoryDlg::ShowNotice(const std::wstring& text) {
    notice_->setText(QString::fromStdWString(text));
    notice_->setVisible(!text.empty());
}

void CHistoryDlg::EnableRestore(bool enabled) {
    restore_->setEnabled(enabled);
}
