#pragma once
// The window program against the simulated subwoofer, room and microphone, started on a document
// (so without the welcome dialog), and the menu actions of its main window.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "app/AppOptions.h"
#include "app/AppSession.h"
#include "app/CMainFrame.h"
#include "app/CTessalineApp.h"
#include "document/DocData.h"
#include "document/DocFile.h"

// No document: the welcome dialog opens first.
inline AppOptions SimulatedOn(const std::filesystem::path& document = {}) {
    AppOptions o;
    o.environment.simulate = true;
    o.document = document;
    return o;
}

// An empty document written as room.CVD in folder.
inline std::filesystem::path EmptyDocument(const std::filesystem::path& folder) {
    const auto path = folder / "room.CVD";
    WriteDocFile(path, DocData{});
    return path;
}

struct SimulatedApp {
    explicit SimulatedApp(const std::filesystem::path& document)
        : options(SimulatedOn(document)), session(options), app(options, session) {}
    CMainFrame& Frame() { return *app.Frame(); }

    AppOptions options;
    AppSession session;
    CTessalineApp app;
};

// The action of that text in one of the main window's menus; null when there is none.
inline QAction* MenuAction(CMainFrame& frame, const QString& text) {
    for (QAction* menu : frame.menuBar()->actions())
        if (menu->menu())
            for (QAction* a : menu->menu()->actions())
                if (a->text() == text)
                    return a;
    return nullptr;
}
