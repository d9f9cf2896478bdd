// Start-up, the main window's strip and menus, colours and Auto Scale, headless.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/AppTestSupport.h"
#include "app/CCurveColorDialog.h"
#include "app/CMainFrame.h"
#include "app/CPositionsPanel.h"
#include "app/CTSLView.h"
#include "app/CTessalineApp.h"
#include "app/CWelcomeDlg.h"
#include "app/ModalAnswerer.h"
#include "app/SimulatedApp.h"
#include "ui/qt/CStaticColorCtrl.h"
#include "wizard/MainCommands.h"

namespace {

// A saved document with measured, target and calculated curves.
std::filesystem::path CurvesDocument(const TempDir& dir) {
    DocData data;
    data.name = L"KT1";
    data.results = {LevelCurve(-10), LevelCurve(-20), LevelCurve(-30)};
    data.measurements = {LevelCurve(-10)};
    data.eq.valid = 1;
    const auto path = dir.path / "room.CVD";
    WriteDocFile(path, data);
    return path;
}

TEST(AppStartup, ADocumentOnTheCommandLineOpensWithoutTheWelcomeDialog) {
    TempDir dir;
    const auto path = CurvesDocument(dir);
    AppOptions options = SimulatedOn(path);
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    answerer.On(QStringLiteral("CWelcomeDlg"), [](QDialog& d) { d.reject(); });
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(answerer.dialogs.empty());
    EXPECT_FALSE(app.WelcomeChoice());
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(app.Frame()->isVisible());
    EXPECT_EQ(app.Frame()->windowTitle(), QStringLiteral("room.CVD - Tessaline (simulation)"));
    EXPECT_EQ(app.Document().Data().results.size(), 3u);
    EXPECT_EQ(app.Frame()->View()->Graph()->Graph().Title(), L"KT1");
    // No measurement starts by itself.
    QCoreApplication::processEvents();
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(app.Presenter()->Recent().Entries().front(), path.wstring());
}

// A document that cannot be opened says which file and why, and the window opens on a new one.
TEST(AppStartup, ABadDocumentOnTheCommandLineIsNamedAndANewOneOpens) {
    TempDir dir;
    const auto path = dir.path / "short.CVD";
    std::ofstream(path, std::ios::binary) << std::string("\x08\0\0\0\x13", 5);
    AppOptions options = SimulatedOn(path);
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    ASSERT_TRUE(app.Start());
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0], QStringLiteral("Tessaline|The document \"") +
                                     QString::fromStdWString(path.wstring()) +
                                     QStringLiteral("\" could not be opened:\nThe file is damaged "
                                                    "or incomplete."));
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(app.Frame()->isVisible());
    EXPECT_EQ(app.Frame()->windowTitle(), QStringLiteral("Untitled - Tessaline (simulation)"));
}

// The simulation's state is locked as tessaline-cli locks it, and saved after every step.
TEST(AppStartup, TheSimulationStateIsLockedWhileTheProgramRunsAndSavedAfterEachStep) {
    TempDir dir;
    AppOptions options = SimulatedOn(CurvesDocument(dir));
    options.environment.simState = dir.path / "sub.json";
    const auto refused = [&] {
        try {
            AppSession other(options);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    {
        const int fd =
            ::open((options.environment.simState.string() + ".lock").c_str(), O_RDWR | O_CREAT,
                   0644);  // as a running command holds it
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        EXPECT_NE(refused().find("is in use by another command"), std::string::npos);
        ::close(fd);
    }
    AppSession session(options);
    EXPECT_NE(refused().find("is in use by another command"), std::string::npos);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    ASSERT_TRUE(app.Start());
    EXPECT_FALSE(std::filesystem::exists(options.environment.simState));
    app.Frame()->StripButton(IDC_ERASE)->click();
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_TRUE(answerer.boxes[0].endsWith(QString::fromStdWString(kEraseSuccessText)));
    EXPECT_TRUE(std::filesystem::exists(options.environment.simState));
}

TEST(AppStartup, ExitInTheWelcomeDialogEndsBeforeAnyWindow) {
    AppOptions options = SimulatedOn();
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    answerer.On(QStringLiteral("CWelcomeDlg"),
                [](QDialog& d) { static_cast<CWelcomeDlg&>(d).ExitButton()->click(); });
    EXPECT_FALSE(app.Start());
    EXPECT_EQ(answerer.dialogs, std::vector<QString>{QStringLiteral("CWelcomeDlg")});
    EXPECT_EQ(app.Frame(), nullptr);
}

TEST(AppStartup, TheSecondBrandReadsRestoreAndKeepsItsOwnSettings) {
    TempDir dir;
    const auto path = CurvesDocument(dir);
    AppOptions options = SimulatedOn(path);
    options.brand = Brand::Second;
    AppSession session(options);
    CTessalineApp app(options, session);
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(app.Frame()->StripButton(IDC_ERASE)->accessibleName(), QStringLiteral("Restore"));
    EXPECT_EQ(app.Frame()->windowTitle(), QStringLiteral("room.CVD - Tessaline(KV) (simulation)"));
    EXPECT_EQ(QSettings(QStringLiteral("Kestrova"), QStringLiteral("Tessaline"))
                  .value(kRecentFilesKey)
                  .toStringList(),
              QStringList{QString::fromStdWString(path.wstring())});
}

TEST(AppStartup, ADoubleClickOnAChoiceActsAsOk) {
    CWelcomeDlg welcome(QStringLiteral("Tessaline"), {});
    welcome.show();
    QTest::mouseDClick(welcome.OpenChoice(), Qt::LeftButton);
    EXPECT_EQ(welcome.result(), QDialog::Accepted);
    EXPECT_EQ(welcome.Choice(), kWelcomeOpen);
    EXPECT_EQ(welcome.windowTitle(), QStringLiteral("Tessaline"));
}

class MainWindow : public ::testing::Test {
protected:
    MainWindow()
        : options(SimulatedOn(CurvesDocument(dir))), session(options), app(options, session) {
        EXPECT_TRUE(app.Start());
        frame = app.Frame();
    }

    // Pixels of the graph drawn in colour c.
    int PixelsOf(Graphing::Color c) {
        const QImage image = frame->View()->Graph()->grab().toImage();
        int n = 0;
        const QRgb wanted = qRgb(Graphing::Red(c), Graphing::Green(c), Graphing::Blue(c));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixel(x, y) == wanted;
        return n;
    }

    ClearedSettings cleared;
    TempDir dir;
    AppOptions options;
    AppSession session;
    CTessalineApp app;
    CMainFrame* frame = nullptr;
};

TEST_F(MainWindow, StripAndMenusCarryTheirTextsAndAccessibleNames) {
    const std::vector<std::pair<int, QString>> strip{{1015, "Measure"}, {1017, "Target"},
                                                     {1022, "Upload"},  {1024, "Erase"},
                                                     {1026, "Colors"},  {1013, "Auto Scale"}};
    for (const auto& [id, text] : strip) {
        QPushButton* b = frame->StripButton(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->accessibleName(), text);
        EXPECT_EQ(QString(b->text()).remove(QLatin1Char('&')), text);
        EXPECT_EQ(b->text().count(QLatin1Char('&')), 1);  // a mnemonic each
        EXPECT_NE(b->focusPolicy() & Qt::TabFocus, 0);
    }
    QStringList items;
    for (QAction* menu : frame->menuBar()->actions()) {
        items << menu->text();
        for (QAction* a : menu->menu()->actions())
            if (!a->isSeparator() && a->isVisible())
                items << a->text() + QLatin1Char('|') + a->shortcut().toString();
    }
    EXPECT_EQ(items,
              (QStringList{
                  "&File",        "&New|Ctrl+N",     "&Open...|Ctrl+O", "&Save|Ctrl+S",
                  "Save &As...|", "&Import...|",     "&Export|",        "&History...|",
                  "&1 room.CVD|", "E&xit|",          "&Edit",           "&Undo|Ctrl+Z",
                  "&Tools",       "Quick Measure|",  "&Verify|",        "&Decay...|",
                  "Positions|",   "&Microphone...|", "&Help",           "&About Tessaline...|"}));
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(frame->View()->Swatch(i)->accessibleName().isEmpty());
}

TEST_F(MainWindow, ColoursCancelLeavesTheGraphAndOkRepaintsIt) {
    frame->resize(900, 600);
    const auto before = app.Document().Data().colours;
    ASSERT_GT(PixelsOf(before[0]), 0);
    const Graphing::Color green = Graphing::Rgb(0, 200, 0);
    bool accept = false;
    frame->SetColorsDialog([&](QWidget* parent, const std::array<uint32_t, 3>& colours)
                               -> std::optional<std::array<uint32_t, 3>> {
        CCurveColorDialog dialog(
            colours, parent, [&](QWidget*, uint32_t) { return std::optional<uint32_t>(green); });
        dialog.ChangeButton(0)->click();
        if (!accept)
            return std::nullopt;
        return dialog.Colours();
    });
    frame->StripButton(IDC_COLORS)->click();
    EXPECT_EQ(app.Document().Data().colours, before);
    EXPECT_EQ(frame->View()->Swatch(0)->GetColor(), before[0]);
    EXPECT_EQ(PixelsOf(green), 0);

    accept = true;
    frame->StripButton(IDC_COLORS)->click();
    EXPECT_EQ(app.Document().Data().colours[0], green);
    EXPECT_EQ(frame->View()->Swatch(0)->GetColor(), green);
    EXPECT_TRUE(app.Document().IsModified());  // New or Exit asks to save the change
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("room.CVD* - Tessaline (simulation)"));
    EXPECT_GT(PixelsOf(green), 0);
    EXPECT_EQ(PixelsOf(before[0]), 0);
    EXPECT_GT(PixelsOf(before[2]), 0);
}

// Also: Target and Upload are disabled while there is nothing to calculate or upload.
TEST_F(MainWindow, AutoScaleOnAnEmptyDocumentTitlesTheGraphSubwoofer) {
    EXPECT_TRUE(frame->StripButton(IDC_TARGET)->isEnabled());
    EXPECT_TRUE(frame->StripButton(IDC_UPLOAD)->isEnabled());
    ModalAnswerer answerer;
    answerer.Boxes([](const QString&) { return QMessageBox::No; });  // do not save
    app.Document().SetModifiedFlag(true);
    ASSERT_TRUE(app.Presenter()->NewDocument());
    frame->View()->Graph()->SetTitle(QStringLiteral("stale"));
    frame->StripButton(IDC_AUTO_SCALE)->click();
    EXPECT_EQ(frame->View()->Graph()->Graph().Title(), L"Subwoofer");
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Tessaline (simulation)"));
    EXPECT_EQ(answerer.boxes.size(), 1u);  // "Save changes to room.CVD?"
    EXPECT_FALSE(frame->StripButton(IDC_TARGET)->isEnabled());
    EXPECT_FALSE(frame->StripButton(IDC_UPLOAD)->isEnabled());
    EXPECT_TRUE(frame->StripButton(IDC_ERASE)->isEnabled());
}

// The first window fits the screen's available area (also at QT_SCALE_FACTOR=2), the graph gets
// most of it, and whether the Positions panel is shown is remembered.
TEST_F(MainWindow, FitsTheScreenGivesTheGraphMostRoomAndRemembersThePanel) {
    QApplication::processEvents();
    const QRect area = frame->screen()->availableGeometry();
    EXPECT_LE(frame->frameGeometry().width(), area.width());
    EXPECT_LE(frame->frameGeometry().height(), area.height());
    if (area.height() >= 600) {  // room for more than the panel's least height
        EXPECT_GT(frame->View()->height(), 2 * frame->Positions()->height());
    }
    frame->Positions()->hide();
    QCloseEvent close;
    QApplication::sendEvent(frame, &close);
    ASSERT_TRUE(close.isAccepted());
    QSettings settings(QStringLiteral("CorvanaElectronics"), QStringLiteral("Tessaline"));
    CMainFrame again(Resources(Brand::Main), settings);
    again.show();
    EXPECT_FALSE(again.Positions()->isVisible());
}

// Run with QT_SCALE_FACTOR=2 (the ctest app_tests_hidpi): the graph lays out and draws in device
// pixels. Thin lines stay one device pixel wide, curve pens scale with the ratio, and no text
// runs off the control's edges.
TEST_F(MainWindow, DrawsInDevicePixelsAtHighPixelRatio) {
    Graphing::CGraphCtrl* graph = frame->View()->Graph();
    const qreal dpr = graph->devicePixelRatioF();
    if (dpr < 2.0)
        GTEST_SKIP() << "needs a device pixel ratio of 2 (QT_SCALE_FACTOR=2)";
    frame->StripButton(IDC_MEASURE)->setFocus();   // no focus frame over the graph's edges
    graph->SetRanges({20.0, 1000.0, -50.0, 0.0});  // the curves inside the plot
    const QImage image = graph->grab().toImage();
    ASSERT_EQ(image.width(), int(graph->width() * dpr));
    EXPECT_EQ(graph->Graph().ClientWidth(), image.width());
    const Graphing::PixelRect plot = graph->Graph().Map().Rect();
    const int row = (plot.top + plot.bottom) / 2 + 3;
    auto ink = [&](int x, int y) {
        return image.pixel(x, y) != qRgb(255, 255, 245);  // the background
    };
    // The frame's left edge: one device pixel.
    int frameWidth = 0;
    for (int x = plot.left - 3; x <= plot.left + 3; ++x)
        frameWidth += image.pixel(x, row) == qRgb(0, 0, 0);
    EXPECT_EQ(frameWidth, 1);
    // The measured curve's pen of 4 covers about 8 device pixels.
    const auto measured = app.Document().Data().colours[0];
    const int column = graph->Graph().Map().XToPixel(150.0);
    int penWidth = 0;
    for (int y = plot.top; y <= plot.bottom; ++y)
        penWidth +=
            image.pixel(column, y) ==
            qRgb(Graphing::Red(measured), Graphing::Green(measured), Graphing::Blue(measured));
    EXPECT_GE(penWidth, 6);
    EXPECT_LE(penWidth, 9);
    // Labels in the margins, none touching the edges.
    int labels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < plot.left - 2; ++x)
            labels += ink(x, y);
    EXPECT_GT(labels, 0);
    for (int x = 0; x < image.width(); ++x)
        EXPECT_FALSE(ink(x, 0) || ink(x, image.height() - 1)) << x;
    for (int y = 0; y < image.height(); ++y)
        EXPECT_FALSE(ink(0, y) || ink(image.width() - 1, y)) << y;
}

}  // namespace
