#include "app/CCurveColorDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/qt/CStaticColorCtrl.h"
#include "ui/qt/QtColor.h"

namespace {

std::optional<uint32_t> PlatformChooser(QWidget* parent, uint32_t initial) {
    const QColor chosen = QColorDialog::getColor(Graphing::ToQColor(initial), parent);
    if (!chosen.isValid())
        return std::nullopt;
    return Graphing::FromQColor(chosen);
}

}  // namespace

CCurveColorDialog::CCurveColorDialog(const std::array<uint32_t, 3>& colours, QWidget* parent,
                                     Chooser chooser)
    : QDialog(parent), colours_(colours), chooser_(chooser ? std::move(chooser) : PlatformChooser) {
    setObjectName(QStringLiteral("CCurveColorDialog"));
    setWindowTitle(QString::fromLatin1(kCurveColorsCaption));
    setAccessibleName(windowTitle());
    auto* layout = new QGridLayout(this);
    for (size_t i = 0; i < 3; ++i) {
        const int row = static_cast<int>(i);
        auto* label = new QLabel(QString::fromLatin1(kCurveLabels[i]), this);
        swatches_[i] = new CustomControls::CStaticColorCtrl(this);
        swatches_[i]->SetColor(colours_[i]);
        swatches_[i]->setAccessibleName(label->text());
        change_[i] = new QPushButton(QStringLiteral("Change"), this);
        change_[i]->setAccessibleName(QStringLiteral("Change ") + label->text().chopped(1));
        change_[i]->setAutoDefault(false);
        label->setBuddy(change_[i]);
        layout->addWidget(label, row, 0);
        layout->addWidget(swatches_[i], row, 1);
        layout->addWidget(change_[i], row, 2);
        connect(change_[i], &QPushButton::clicked, this, [this, i] { Change(i); });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons, 3, 0, 1, 3);
}

void CCurveColorDialog::Change(size_t index) {
    if (index >= colours_.size())
        return;
    if (std::optional<uint32_t> chosen = chooser_(this, colours_[index])) {
        colours_[index] = *chosen;
        swatches_[index]->SetColor(*chosen);
    }
}
