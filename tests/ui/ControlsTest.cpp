#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "ui/qt/BCheck.h"
#include "ui/qt/CGraphCtrl.h"
#include "ui/qt/CSpin.h"
#include "ui/qt/CStaticColorCtrl.h"
#include "ui/qt/CStaticLink.h"
#include "ui/qt/CStatusCtrl.h"
#include "ui/qt/QtColor.h"

using namespace CustomControls;

TEST(BCheck, NotifiesByModeAndKeepsTheVariable) {
    BCheck box(QStringLiteral("Save progress after each step"));
    bool save = true;
    box.resize(box.sizeHint());
    box.Attach(1043, &save, BCheck::kNotifyValueChanged);
    EXPECT_TRUE(box.isChecked());
    QSignalSpy changed(&box, &BCheck::ValueChanged);
    QSignalSpy clicked(&box, &BCheck::Clicked);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_FALSE(save);
    EXPECT_EQ(changed.count(), 1);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_TRUE(save);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[1][0].toInt(), 1043);
    EXPECT_EQ(clicked.count(), 0);

    box.SetMode(BCheck::kNotifyClick);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    box.SetMode(BCheck::kNotifyNone);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(changed.count() + clicked.count(), 3);

    BCheck unbound(QStringLiteral("Automatically proceed to the next step"));
    unbound.setChecked(true);
    EXPECT_TRUE(unbound.Value());
}

TEST(StaticLink, FailureBeepsAndKeepsTheNormalColour) {
    CStaticLink link(QStringLiteral("www.example.com"));
    QString opened;
    bool succeed = false;
    link.SetOpener([&](const QString& target) {
        opened = target;
        return succeed;
    });
    QSignalSpy failed(&link, &CStaticLink::OpenFailed);
    link.resize(link.sizeHint());
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_EQ(opened, QStringLiteral("www.example.com"));  // its own text
    EXPECT_EQ(failed.count(), 1);
    EXPECT_FALSE(link.Visited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), Graphing::ToQColor(kLinkColor));
    EXPECT_EQ(Graphing::ToQColor(kLinkColor), QColor(Qt::blue));

    succeed = true;
    link.SetTarget(QStringLiteral("https://example.com/support"));
    QTest::keyClick(&link, Qt::Key_Return);
    EXPECT_EQ(opened, QStringLiteral("https://example.com/support"));
    EXPECT_TRUE(link.Visited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_TRUE(link.font().underline());
}

TEST(StaticColorCtrl, FillsWithItsColour) {
    CStaticColorCtrl swatch;
    swatch.resize(30, 16);
    EXPECT_EQ(swatch.GetColor(), Graphing::Rgb(255, 0, 0));
    swatch.SetColor(Graphing::Rgb(0, 128, 255));
    const QImage img = swatch.grab().toImage();
    EXPECT_EQ(img.pixelColor(0, 0), QColor(0, 128, 255));
    EXPECT_EQ(img.pixelColor(img.width() - 1, img.height() - 1), QColor(0, 128, 255));
}

TEST(StatusCtrl, TicksMoveTheLitGroup) {
    CStatusCtrl status;
    status.resize(200, 30);
    status.SetColors(Qt::white, Qt::black);
    status.SetPeriod(50);
    status.Start();
    EXPECT_TRUE(status.IsRunning());
    EXPECT_EQ(status.Period(), 50);
    ASSERT_EQ(status.Cells().Cells(), 10);
    for (int i = 0; i < 3; ++i) {
        status.Tick();
    }
    status.Stop();
    EXPECT_EQ(status.Cells().Position(), 3);
    const QImage img = status.grab().toImage();
    auto centre = [&](int cell) { return img.pixelColor(status.CellRect(cell).center()); };
    EXPECT_EQ(centre(3), QColor(Qt::black));
    EXPECT_EQ(centre(7), QColor(Qt::black));
    EXPECT_EQ(centre(2), QColor(Qt::white));
    EXPECT_EQ(centre(8), QColor(Qt::white));
}

TEST(Accessibility, EveryControlHasAName) {
    QWidget window;
    auto* spin = new CSpin<int>(&window);
    spin->SetLabel(QStringLiteral("X-Over"));
    auto* swatch = new CStaticColorCtrl(&window);
    swatch->setAccessibleName(QStringLiteral("Measured:"));
    auto* graph = new Graphing::CGraphCtrl(&window);
    std::vector<QWidget*> controls{spin,
                                   spin->Edit(),
                                   swatch,
                                   graph,
                                   new BCheck(QStringLiteral("Save"), &window),
                                   new CStaticLink(QStringLiteral("Support"), &window),
                                   new CStatusCtrl(&window)};
    for (QWidget* w : controls) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->metaObject()->className();
    }
}
