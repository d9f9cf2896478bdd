#pragma once
// Temporary folders, documents with curves, and waiting for the event loop to reach a state.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QString>
#include <filesystem>
#include <functional>
#include <ostream>

#include "document/DocData.h"
#include "document/DocFile.h"
#include "measure/Curve.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// Forgets the recent files, geometry and microphone choice earlier tests left, and what this one
// leaves (the settings are the test process's own).
struct ClearedSettings {
    ClearedSettings() { Clear(); }
    ~ClearedSettings() { Clear(); }
    static void Clear() {
        QSettings(QStringLiteral("CorvanaElectronics"), QStringLiteral("Tessaline")).clear();
    }
};

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               (std::string("app_tests_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

// A level curve over 20 ... 200 Hz at level dB.
inline CurvePtr LevelCurve(double level) {
    auto c = std::make_shared<CCurve>(64, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < 64; ++i) {
        c->X()[i] = 20.0 + i * 180.0 / 63.0;
        c->First()[i] = level;
    }
    return c;
}

// Runs the event loop until done() holds; false after timeoutMs of work without it.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
