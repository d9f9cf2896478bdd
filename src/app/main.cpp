// tessaline: the window program. Its main is the composition root: it chooses this build's
// platform devices (libusb and PortAudio/ALSA, or WinUSB and the Windows recorders) for the
// environment, which runs against them or, with --simulate, against the simulated scene.

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/AppSession.h"
#include "app/CMainFrame.h"
#include "app/CTessalineApp.h"
#include "environment/Environment.h"
#include "environment/PlatformDevices.h"
#include "threading/Errors.h"
#include "threading/HeapPolicy.h"
#include "threading/WaitPolicy.h"

namespace {

// TESSALINE_EXIT_WHEN_SHOWN=1: once the main window is exposed and painted, prints "shown" and
// ends the program (the start-up benchmark measures from exec to that line).
class ExitWhenShown final : public QObject {
public:
    void Watch(QWindow* window) {
        if (window->isExposed())
            Done();
        else
            window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            Done();
        return false;
    }

private:
    void Done() {
        if (done_)
            return;
        done_ = true;
        // Runs after the expose event has been handled, that is after the first paint.
        QTimer::singleShot(0, qApp, [] {
            std::puts("shown");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    Threading::UsePassiveWaitPolicy(argv);
    Threading::KeepFreedMemoryForReuse();
    // Help needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kAppUsage, stdout);
            return 0;
        }
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaline"));
    QApplication::setDesktopFileName(QStringLiteral("tessaline"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tessaline")));
    std::vector<std::string> args;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        args.push_back(all[i].toStdString());
    AppOptions options = ParseAppArguments(args);
    Env::ReadVariables(options.environment);
    if (options.help) {
        std::fputs(kAppUsage, stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "tessaline: %s\n%s", options.error.c_str(), kAppUsage);
        return 1;
    }
    try {
        Env::Environment environment(options.environment, Env::PlatformDevices(), std::cerr);
        AppSession session(environment);
        int code = 0;
        {
            CTessalineApp app(options, session);
            if (!app.Start())
                return 0;
            ExitWhenShown exitWhenShown;
            if (qEnvironmentVariableIsSet("TESSALINE_EXIT_WHEN_SHOWN") &&
                app.Frame()->windowHandle())
                exitWhenShown.Watch(app.Frame()->windowHandle());
            code = QApplication::exec();
        }
        session.Finish();
        return code;
    } catch (const Env::OptionError& e) {
        std::fprintf(stderr, "tessaline: %s\n%s", e.what(), kAppUsage);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaline: %s\n", e.what());
        return 2;
    }
}
