// The target dialog's house curve in the window: a shelf set there is calculated against the
// simulated subwoofer, kept in the document and shown again when the document is reopened.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <set>

#include "app/AppTestSupport.h"
#include "app/CTSLView.h"
#include "app/CTargetCustomizationDialog.h"
#include "app/ModalAnswerer.h"
#include "app/SimulatedApp.h"
#include "correction/fit_support.h"
#include "ui/qt/CSpinEditBox.h"

namespace {

const fittest::Room kRoom{24.0, false, 110.0, {{42, 9, 6}, {68, 6, 8}}, -3.0};

TEST(AppTargetHouse, AShelfSetInTheDialogIsCalculatedKeptAndShownOnReopening) {
    TempDir dir;
    DocData data;
    data.name = L"KT1";
    data.modelId = 0x113;  // a model of the fit tests' corpus
    data.measurements = {fittest::Measurement(kRoom), fittest::Measurement(kRoom)};
    const auto path = dir.path / "room.CVD";
    WriteDocFile(path, data);
    {
        SimulatedApp simulated(path);
        ASSERT_TRUE(simulated.app.Start());
        ModalAnswerer answerer;
        answerer.On(QStringLiteral("CTargetCustomizationDialog"), [](QDialog& d) {
            auto& dialog = static_cast<CTargetCustomizationDialog&>(d);
            CustomControls::CSpinEditBox* gain = dialog.Spin(TargetField::ShelfGain)->Edit();
            gain->selectAll();
            QTest::keyClicks(gain, QStringLiteral("6"));
            dialog.accept();
        });
        simulated.Frame().StripButton(IDC_TARGET)->click();  // returns when the step has ended
        const DocData& d = simulated.app.Document().Data();
        EXPECT_EQ(d.house.shelfDb, 6.0);
        EXPECT_EQ(d.house.shelfHz, kDefaultShelfHz);
        EXPECT_EQ(d.eq.valid, 1);
        for (const QString& box : answerer.boxes)
            ADD_FAILURE() << box.toStdString();
        ASSERT_TRUE(simulated.app.Presenter()->Save());
    }
    DocData saved;
    ReadDocFile(path, saved);
    EXPECT_EQ(saved.house.shelfDb, 6.0);

    SimulatedApp reopened(path);
    ASSERT_TRUE(reopened.app.Start());
    ModalAnswerer answerer;
    QString shown;
    answerer.On(QStringLiteral("CTargetCustomizationDialog"), [&](QDialog& d) {
        auto& dialog = static_cast<CTargetCustomizationDialog&>(d);
        shown = dialog.Spin(TargetField::ShelfGain)->Edit()->text();
        dialog.reject();
    });
    reopened.Frame().StripButton(IDC_TARGET)->click();
    EXPECT_EQ(shown, QStringLiteral("6"));
    EXPECT_EQ(reopened.app.Document().Data().house.shelfDb, 6.0);  // cancelled: unchanged
}

// Every mnemonic of the dialog once (its buttons, labels and group boxes); the new controls are
// named for assistive tools.
TEST(AppTargetHouse, MnemonicsAreUniqueAndTheControlsNamed) {
    DocData data;
    CTargetCustomizationDialog dialog(nullptr, data);
    std::multiset<QChar> keys;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            text = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            text = g->title();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < text.size())
            keys.insert(text.at(at + 1).toLower());
    }
    EXPECT_GE(keys.size(), 9u);
    for (QChar key : keys)
        EXPECT_EQ(keys.count(key), 1u) << QString(key).toStdString();
    for (TargetField field : {TargetField::ShelfGain, TargetField::ShelfCorner, TargetField::Tilt,
                              TargetField::MaxBoost, TargetField::UpperLimit})
        EXPECT_EQ(dialog.Spin(field)->Edit()->accessibleName(),
                  QString::fromWCharArray(FieldInfo(field).caption));
    for (QWidget* w : std::initializer_list<QWidget*>{dialog.CutsOnly(), dialog.FitUpper(),
                                                      dialog.ChooseFile(), dialog.NoFile()})
        EXPECT_FALSE(w->accessibleName().isEmpty());
}

}  // namespace
