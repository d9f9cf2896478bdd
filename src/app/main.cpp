// tessaline: the window program. Its main is the composition root: real USB, the PortAudio
// microphone and the real clock, or the simulated scene with --simulate.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/AppSession.h"
#include "app/CTessalineApp.h"
#include "threading/Errors.h"

int main(int argc, char** argv) {
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
    const AppOptions options = ParseAppArguments(args);
    if (options.help) {
        std::fputs(kAppUsage, stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "tessaline: %s\n%s", options.error.c_str(), kAppUsage);
        return 1;
    }
    try {
        AppSession session(options);
        int code = 0;
        {
            CTessalineApp app(options, session);
            if (!app.Start())
                return 0;
            code = QApplication::exec();
        }
        session.Finish();
        return code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaline: %s\n", e.what());
        return 2;
    }
}
