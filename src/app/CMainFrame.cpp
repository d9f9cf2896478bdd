#include "app/CMainFrame.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QToolBar>

#include "app/AppSession.h"
#include "app/AppText.h"
#include "app/CAboutDlg.h"
#include "app/CCurveColorDialog.h"
#include "app/CDecayDlg.h"
#include "app/CHistoryDlg.h"
#include "app/CPositionsPanel.h"
#include "app/CTSLView.h"
#include "wizard/Positions.h"
#include "wizard/VerifyStep.h"

namespace {

// "&Open...\tCtrl+O": the action text and its shortcut.
QAction* AddAction(QMenu* menu, const wchar_t* text) {
    const QString full = QString::fromStdWString(text);
    const qsizetype tab = full.indexOf(QLatin1Char('\t'));
    QAction* action = menu->addAction(tab < 0 ? full : full.left(tab));
    if (tab >= 0)
        action->setShortcut(QKeySequence(full.mid(tab + 1)));
    return action;
}

}  // namespace

CMainFrame::CMainFrame(const BrandResources& brand, QSettings& settings)
    : brand_(brand), settings_(settings), prompt_([this] { return static_cast<QWidget*>(this); }) {
    setObjectName(QStringLiteral("CMainFrame"));
    view_ = new CTSLView(this);
    setCentralWidget(view_);
    positions_ = new CPositionsPanel(this);
    addDockWidget(Qt::BottomDockWidgetArea, positions_);
    positions_->onOptions = [this](const CurveOptions& options) {
        view_->SetCurveOptions(options);
    };
    positions_->onDrop = [this](size_t index) {
        if (presenter_ != nullptr)
            presenter_->DropPosition(index);
    };
    BuildMenus();
    BuildStrip();
    if (!restoreGeometry(settings_.value(kGeometryKey).toByteArray())) {
        // The first window fits the screen's available area, whatever the scaling.
        QSize size(1024, 640);
        if (const QScreen* shown = screen()) {
            const QRect area = shown->availableGeometry();
            size = size.boundedTo(area.size() * 9 / 10);
            move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        }
        resize(size);
    }
    if (!restoreState(settings_.value(kWindowStateKey).toByteArray()))
        // The graph gets most of the window.
        resizeDocks({positions_}, {height() / 4}, Qt::Vertical);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::BuildMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    connect(AddAction(fileMenu_, kMenuNew), &QAction::triggered, this,
            [this] { presenter_->NewDocument(); });
    connect(AddAction(fileMenu_, kMenuOpen), &QAction::triggered, this,
            [this] { presenter_->Open(); });
    connect(AddAction(fileMenu_, kMenuSave), &QAction::triggered, this,
            [this] { presenter_->Save(); });
    connect(AddAction(fileMenu_, kMenuSaveAs), &QAction::triggered, this,
            [this] { presenter_->SaveAs(); });
    connect(fileMenu_->addAction(QStringLiteral("&Import...")), &QAction::triggered, this,
            [this] { presenter_->Import(); });
    BuildExportMenu(fileMenu_);
    connect(fileMenu_->addAction(QStringLiteral("&History...")), &QAction::triggered, this,
            [this] { OnHistory(); });
    fileMenu_->addSeparator();
    recentSeparator_ = fileMenu_->addSeparator();
    exitAction_ = AddAction(fileMenu_, kMenuExit);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    undoAction_ = edit->addAction(QStringLiteral("&Undo"));
    undoAction_->setShortcut(QKeySequence::Undo);
    undoAction_->setEnabled(false);
    connect(undoAction_, &QAction::triggered, this, [this] {
        if (presenter_ != nullptr)
            presenter_->Undo();
    });
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    connect(AddAction(tools, kMenuQuickMeasure), &QAction::triggered, this, [this] {
        if (quickMeasure_)
            quickMeasure_();
    });
    connect(tools->addAction(QStringLiteral("&Verify")), &QAction::triggered, this, [this] {
        if (presenter_ != nullptr)
            VerifyCommand(*presenter_, presenter_->Document().Data());
    });
    connect(tools->addAction(QStringLiteral("&Decay...")), &QAction::triggered, this, [this] {
        if (presenter_ == nullptr)
            return;
        CDecayDlg decay(presenter_->Document().Data(), this);
        decay.exec();
    });
    tools->addAction(positions_->toggleViewAction());
    connect(tools->addAction(QStringLiteral("&Microphone...")), &QAction::triggered, this,
            [this] { OnMicrophone(); });
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(AddAction(help, kMenuAbout), &QAction::triggered, this, [this] { OnAbout(); });
}

void CMainFrame::OnHistory() {
    const std::filesystem::path folder =
        session_ ? session_->HistoryDir() : std::filesystem::path();
    const uint16_t model = presenter_ ? presenter_->Document().Data().modelId : 0;
    MainPresenter* presenter = presenter_;
    CHistoryDlg dialog(
        [&](IHistoryView& view) {
            return std::make_unique<HistoryPresenter>(
                view, folder, model, [presenter](const History::Record& record, int number) {
                    return presenter != nullptr && presenter->RestoreRecord(record, number);
                });
        },
        this);
    dialog.exec();
}

void CMainFrame::BuildStrip() {
    auto* bar = new QToolBar(QStringLiteral("Commands"), this);
    bar->setObjectName(QStringLiteral("CommandStrip"));
    bar->setMovable(false);
    bar->setFloatable(false);
    auto* strip = new QWidget(bar);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(4, 2, 4, 2);
    for (size_t i = 0; i < kStripCommands.size(); ++i) {
        const int id = kStripCommands[i];
        auto* button =
            new QPushButton(QString::fromStdWString(StripMnemonicText(brand_.strip[i])), strip);
        button->setObjectName(QStringLiteral("IDC_%1").arg(id));
        button->setAccessibleName(QString::fromStdWString(brand_.strip[i]));
        button->setAutoDefault(false);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        strip_[id] = button;
    }
    layout->addStretch();
    bar->addWidget(strip);
    addToolBar(Qt::TopToolBarArea, bar);
}

QPushButton* CMainFrame::StripButton(int id) const {
    auto it = strip_.find(id);
    return it == strip_.end() ? nullptr : it->second;
}

void CMainFrame::SetPresenter(MainPresenter* presenter) {
    presenter_ = presenter;
    view_->SetDocument(&presenter->Document().Data());
    std::vector<std::wstring> entries;
    for (const QString& e : settings_.value(kRecentFilesKey).toStringList())
        entries.push_back(e.toStdWString());
    presenter_->Recent().Load(entries);
    ShowDocument();
}

void CMainFrame::OnCommand(int id) {
    if (presenter_ == nullptr)
        return;
    switch (id) {
        case IDC_MEASURE:
            MeasureCommand(*presenter_);
            break;
        case IDC_TARGET:
            TargetCommand(*presenter_);
            break;
        case IDC_UPLOAD:
            UploadCommand(*presenter_);
            break;
        case IDC_ERASE:
            EraseCommand(*presenter_);
            break;
        case IDC_COLORS:
            OnColors();
            break;
        case IDC_AUTO_SCALE:
            presenter_->Refresh();
            break;
        default:
            break;
    }
}

void CMainFrame::OnColors() {
    const std::array<uint32_t, 3> current = presenter_->Document().Data().colours;
    std::optional<std::array<uint32_t, 3>> chosen;
    if (colorsDialog_) {
        chosen = colorsDialog_(this, current);
    } else {
        CCurveColorDialog dialog(current, this);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.Colours();
    }
    if (chosen)
        presenter_->SetColours(*chosen);
}

void CMainFrame::OnAbout() {
    CAboutDlg(QString::fromStdWString(brand_.title), this).exec();
}

std::optional<std::filesystem::path> CMainFrame::AskSaveFileName(
    const std::filesystem::path& suggestion) {
    if (fileDialog_)
        return fileDialog_(true, suggestion);
    const QString filter = QString::fromStdWString(brand_.filterName);
    const QString name = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save As"), QString::fromStdWString(suggestion.wstring()), filter);
    if (name.isEmpty())
        return std::nullopt;
    return std::filesystem::path(name.toStdWString());
}

std::optional<std::filesystem::path> CMainFrame::AskOpenFileName() {
    if (fileDialog_)
        return fileDialog_(false, {});
    const QString filter =
        QString::fromStdWString(brand_.filterName) + QStringLiteral(";;All Files (*)");
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), {}, filter);
    if (name.isEmpty())
        return std::nullopt;
    return std::filesystem::path(name.toStdWString());
}

std::vector<std::filesystem::path> CMainFrame::AskImportFileNames() {
    if (fileDialog_) {
        const std::optional<std::filesystem::path> name = fileDialog_(false, L"import");
        return name ? std::vector<std::filesystem::path>{*name}
                    : std::vector<std::filesystem::path>{};
    }
    const QStringList names = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Import"), {},
        QStringLiteral("Measurements and impulse responses (*.txt *.frd *.wav);;All Files (*)"));
    std::vector<std::filesystem::path> files;
    for (const QString& name : names)
        files.emplace_back(name.toStdWString());
    return files;
}

void CMainFrame::ShowDocument() {
    if (presenter_ == nullptr)
        return;
    setWindowTitle(QString::fromStdWString(presenter_->WindowTitle()));
    view_->Refresh(QString::fromStdWString(presenter_->GraphTitle()));
    const DocData& data = presenter_->Document().Data();
    positions_->Show(data);
    // Nothing to calculate or upload: the buttons say so by being disabled.
    strip_[IDC_TARGET]->setEnabled(CanCalculate(data));
    strip_[IDC_UPLOAD]->setEnabled(CanUpload(data));
    undoAction_->setEnabled(presenter_->CanUndo());
    undoAction_->setText(QString::fromStdWString(presenter_->UndoText()));
    UpdateRecentMenu();
}

void CMainFrame::Repaint() {
    if (presenter_ != nullptr)
        setWindowTitle(QString::fromStdWString(presenter_->WindowTitle()));
    view_->Repaint();
}

void CMainFrame::HoldDocument(bool hold) {
    view_->HoldDocument(hold);
    // The table may have shown a measurement's positions meanwhile.
    if (!hold && presenter_ != nullptr)
        positions_->Show(presenter_->Document().Data());
}

void CMainFrame::ShowMeasuring(const DocData& shown, bool positions) {
    view_->ShowMeasuring(shown, positions);
    positions_->Show(shown);
}

void CMainFrame::UpdateRecentMenu() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    QStringList stored;
    const auto& entries = presenter_->Recent().Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring path = entries[i];
        stored << QString::fromStdWString(path);
        auto* action = new QAction(QString::fromStdWString(RecentMenuText(i, path)), fileMenu_);
        action->setToolTip(QString::fromStdWString(path));
        connect(action, &QAction::triggered, this, [this, path] {
            if (presenter_->ConfirmDiscard())
                presenter_->OpenDocument(path);
        });
        fileMenu_->insertAction(recentSeparator_, action);
        recentActions_.push_back(action);
    }
    recentSeparator_->setVisible(!recentActions_.empty());
    settings_.setValue(kRecentFilesKey, stored);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (presenter_ != nullptr && !presenter_->ConfirmDiscard()) {
        event->ignore();
        return;
    }
    settings_.setValue(kGeometryKey, saveGeometry());
    settings_.setValue(kWindowStateKey, saveState());
    event->accept();
}
