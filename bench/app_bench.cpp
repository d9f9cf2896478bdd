// The window program's start-up, offscreen, with a document of three curves: in process from the
// application object to the main window shown, and as a process from its exec to the main
// window shown.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>

#include <QLayout>
#include <QMouseEvent>

#include "app/CMainFrame.h"
#include "app/CTSLView.h"
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
    options.environment.simulate = true;
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

// A document as a measurement leaves it: five positions and the three result curves, 4096 points
// each.
void FillMeasuredDocument(DocData& data) {
    auto curve = [](int k, double ripple) {
        auto c = std::make_shared<CCurve>(4096, AxisKind::Frequency, DataFormat::DbPhase);
        for (int i = 0; i < 4096; ++i) {
            const double f = 5.0 * std::pow(2000.0, i / 4095.0);
            c->X()[i] = f;
            c->First()[i] = -10.0 * std::log10(1.0 + std::pow(f / 150.0, 8.0)) - 3.0 * k +
                            ripple * std::sin(f / (7.0 + k));
        }
        return c;
    };
    for (int p = 0; p < 5; ++p)
        data.measurements.push_back(curve(p, 6.0));
    for (int k = 0; k < 3; ++k)
        data.results.push_back(curve(k, k == 1 ? 0.0 : 3.0));
}

// Target: 1 ms. The pointer moving over the main view's graph with the positions' spread shown:
// the move and the repaint it causes.
void BM_MainViewMouseMove(benchmark::State& state) {
    DocData data;
    FillMeasuredDocument(data);
    CTSLView view;
    view.resize(1000, 600);
    view.SetDocument(&data);
    view.SetCurveOptions({true, false, -1});
    view.Refresh(QStringLiteral("Frequency Domain"));
    view.layout()->activate();
    Graphing::CGraphCtrl& graph = *view.Graph();
    state.counters["width"] = graph.width();
    QImage image(graph.size(), QImage::Format_ARGB32_Premultiplied);
    graph.render(&image);
    int step = 0;
    for (auto _ : state) {
        const QPointF at(200 + (step++ % 400), 250);
        QMouseEvent move(QEvent::MouseMove, at, graph.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&graph, &move);
        graph.render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_MainViewMouseMove)->Unit(benchmark::kMillisecond);

#ifdef TESSALINE_APP_PATH
// Target: 0.5 s. From the exec of `tessaline --simulate DOCUMENT` to the "shown" line that
// TESSALINE_EXIT_WHEN_SHOWN prints once the main window is exposed and painted; the program's
// exit after it is not timed.
void BM_ProcessStartupToShownMainWindow(benchmark::State& state) {
    QTemporaryDir dir;
    const QString document = QString::fromStdString(ThreeCurveDocument(dir).string());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TESSALINE_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    for (auto _ : state) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.setStandardErrorFile(QProcess::nullDevice());
        const auto start = std::chrono::steady_clock::now();
        program.start(QStringLiteral(TESSALINE_APP_PATH), {QStringLiteral("--simulate"), document});
        QByteArray out;
        while (!out.contains("shown") && program.waitForReadyRead(10000))
            out += program.readAllStandardOutput();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        program.waitForFinished(10000);
        if (!out.contains("shown")) {
            state.SkipWithError("the program did not show its main window");
            break;
        }
        state.SetIterationTime(elapsed.count());
    }
}
BENCHMARK(BM_ProcessStartupToShownMainWindow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
#endif

}  // namespace
