// The window program's start-up, in process and offscreen: from the application object to the
// main window shown with a document of three curves (the QApplication and the process start
// are not included).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cmath>

#include "app/CMainFrame.h"
#include "app/CTessalineApp.h"
#include "document/DocFile.h"
#include "measure/Curve.h"

namespace {

std::filesystem::path ThreeCurveDocument(const QTemporaryDir& dir) {
    DocData data;
    for (int k = 0; k < 3; ++k) {
        auto c = std::make_shared<CCurve>(4096, AxisKind::Frequency, DataFormat::DbPhase);
        for (int i = 0; i < 4096; ++i) {
            c->X()[i] = 5.0 * std::pow(2000.0, i / 4095.0);
            c->First()[i] = -10.0 * std::log10(1.0 + std::pow(c->X()[i] / 150.0, 8.0)) - 3.0 * k;
        }
        data.results.push_back(c);
    }
    const auto path = std::filesystem::path(dir.path().toStdString()) / "bench.CVD";
    WriteDocFile(path, data);
    return path;
}

// Target: 0.5 s.
void BM_AppStartupToShownMainWindow(benchmark::State& state) {
    QTemporaryDir dir;
    // The recent-file list goes to the temporary folder, not to the user's settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    AppOptions options;
    options.simulate = true;
    options.document = ThreeCurveDocument(dir);
    for (auto _ : state) {
        AppSession session(options);
        CTessalineApp app(options, session);
        app.Start();
        QCoreApplication::processEvents();
        QImage image(app.Frame()->size(), QImage::Format_ARGB32_Premultiplied);
        app.Frame()->render(&image);  // the first paint
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_AppStartupToShownMainWindow)->Unit(benchmark::kMillisecond);

}  // namespace
