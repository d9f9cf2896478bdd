#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/qt/CSpin.h"
#include "ui/qt/CUpDown.h"
#include "ui/qt/SpinTextBox.h"

using namespace CustomControls;

namespace {

enum class Order { A, B, C };

}  // namespace

template <>
struct CustomControls::EnumTypes<Order> {
    static std::span<const std::wstring_view> Texts() {
        static constexpr std::wstring_view texts[] = {L"Auto", L"Flat", L"1st Order"};
        return texts;
    }
};

namespace {

// A dialog with a spin, another edit and a default OK button, shown and active.
struct SpinDialog {
    QDialog dialog;
    CSpin<int>* spin = new CSpin<int>(&dialog);
    QLineEdit* other = new QLineEdit(&dialog);
    QPushButton* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    std::vector<QString> boxes;

    SpinDialog() {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(spin);
        layout->addWidget(other);
        layout->addWidget(ok);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        spin->SetMessageBox([this](QWidget* owner, const QString& text, const QString& caption) {
            EXPECT_EQ(owner, &dialog);
            boxes.push_back(caption + QLatin1Char(':') + text);
        });
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        spin->Edit()->setFocus();
    }
};

}  // namespace

TEST(Spin, TypingOutOfRangeShowsBadValueAndSetsTheBound) {
    SpinDialog d;
    int positions = 5;
    d.spin->Attach(1001, &positions, {5, 10, 1});
    ASSERT_EQ(QApplication::focusWidget(), d.spin->Edit());
    QSignalSpy changed(d.spin, &CSpinBase::ValueChanged);
    d.spin->Edit()->selectAll();
    QTest::keyClicks(d.spin->Edit(), QStringLiteral("1x2"));  // the letter is refused
    EXPECT_EQ(d.spin->Edit()->text(), QStringLiteral("12"));
    EXPECT_EQ(positions, 5);

    d.other->setFocus();
    EXPECT_EQ(positions, 10);
    QCoreApplication::processEvents();  // the message box follows the focus change
    EXPECT_EQ(d.boxes, std::vector<QString>{QStringLiteral("Error:Bad value")});
    EXPECT_EQ(QApplication::focusWidget(), d.spin->Edit());
    EXPECT_EQ(d.spin->Edit()->selectedText(), QStringLiteral("10"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 1001);

    // A value in range is stored silently.
    QTest::keyClicks(d.spin->Edit(), QStringLiteral("7"));
    d.other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(positions, 7);
    EXPECT_EQ(d.boxes.size(), 1u);
    EXPECT_TRUE(d.spin->Validate());
}

TEST(Spin, OkRightAfterABadValueIsRefusedAndReportedOnce) {
    SpinDialog d;
    int positions = 5;
    d.spin->Attach(1001, &positions, {5, 10, 1});
    d.spin->Edit()->selectAll();
    QTest::keyClicks(d.spin->Edit(), QStringLiteral("4"));
    d.ok->setFocus();  // pressing OK takes the focus first
    EXPECT_FALSE(d.spin->Validate());
    EXPECT_EQ(positions, 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(d.boxes.size(), 1u);
    // Leaving with a bad value while the window closes shows nothing.
    d.spin->Edit()->selectAll();
    QTest::keyClicks(d.spin->Edit(), QStringLiteral("99"));
    d.other->setFocus();
    d.dialog.reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(positions, 10);
}

TEST(Spin, EnterCommitsAndPressesTheDefaultButtonEscapeCancels) {
    {
        SpinDialog d;
        int positions = 5;
        d.spin->Attach(1001, &positions, {5, 10, 1});
        d.spin->Edit()->selectAll();
        QTest::keyClicks(d.spin->Edit(), QStringLiteral("8"));
        QTest::keyClick(d.spin->Edit(), Qt::Key_Return);
        EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
        EXPECT_EQ(positions, 8);  // committed before the dialog closed
    }
    SpinDialog d;
    int positions = 5;
    d.spin->Attach(1001, &positions, {5, 10, 1});
    // The range "Bad value" clamps to is told beforehand.
    EXPECT_EQ(d.spin->toolTip(), QStringLiteral("From 5 to 10"));
    EXPECT_EQ(d.spin->Edit()->accessibleDescription(), QStringLiteral("From 5 to 10"));
    QTest::keyClick(d.spin->Edit(), Qt::Key_Escape);
    EXPECT_FALSE(d.dialog.isVisible());
    EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
}

TEST(Spin, UpDownStepsByTheIncrementAndNotifiesOnce) {
    SpinDialog d;
    int xover = 245;
    d.spin->Attach(1004, &xover, {160, 250, 5});
    d.spin->SetLabel(QStringLiteral("X-Over"));
    EXPECT_EQ(d.spin->UpDown()->UpButton()->accessibleName(), QStringLiteral("X-Over up"));
    QSignalSpy changed(d.spin, &CSpinBase::ValueChanged);
    QTest::mouseClick(d.spin->UpDown()->UpButton(), Qt::LeftButton);
    EXPECT_EQ(xover, 250);
    EXPECT_EQ(d.spin->Edit()->text(), QStringLiteral("250"));
    EXPECT_EQ(d.spin->Edit()->selectedText(), QStringLiteral("250"));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(d.spin->UpDown()->UpButton()->isEnabled());
    QTest::keyClick(d.spin->Edit(), Qt::Key_Down);
    EXPECT_EQ(xover, 245);
    EXPECT_EQ(changed.count(), 2);
    // A narrower range re-reads the variable and limits the buttons.
    xover = 160;
    d.spin->SetRule({160, 160, 5});
    EXPECT_EQ(d.spin->Edit()->text(), QStringLiteral("160"));
    EXPECT_FALSE(d.spin->UpDown()->DownButton()->isEnabled());
}

TEST(Spin, TextBoxShowsTheEnumerationsNames) {
    SpinDialog d;
    SpinTextBox<EnumTypes<Order>> box(&d.dialog);
    int order = 0;
    box.Attach(1005, &order);
    EXPECT_EQ(box.Edit()->text(), QStringLiteral("Auto"));
    EXPECT_TRUE(box.Edit()->isReadOnly());
    QTest::keyClick(box.Edit(), Qt::Key_Up);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(box.Edit()->text(), QStringLiteral("Flat"));
    QTest::keyClick(box.Edit(), Qt::Key_PageUp);
    EXPECT_EQ(box.Edit()->text(), QStringLiteral("1st Order"));
    QTest::keyClicks(box.Edit(), QStringLiteral("9"));
    EXPECT_EQ(box.Edit()->text(), QStringLiteral("1st Order"));
}
