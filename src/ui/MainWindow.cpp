#include "ui/MainWindow.h"

#include "foundations/Matrix.h"
#include "foundations/WorkerPool.h"
#include "render/QtCanvas.h"
#include "simulation/Simulation.h"
#include "ui/AnimationController.h"
#include "ui/ArenaView.h"
#include "ui/EditHistory.h"
#include "ui/ExportDialog.h"
#include "ui/FrameTimer.h"
#include "ui/GuiHost.h"
#include "ui/Info.h"
#include "ui/NewSimulation.h"
#include "ui/ObjectBrowser.h"
#include "ui/PropertyForm.h"
#include "ui/StatisticsWindow.h"
#include "ui/Tools.h"
#include "ui/VideoExportDialog.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QUndoStack>
#include <QUndoView>

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

const char* const kCaptionPrefix = "Kova - ";
const char* const kPositionPanel = "Position";
const char* const kConfirmTitle = "Confirm";
const char* const kConfirmNew = "Really create new simulation? All unsaved changes will be lost!";

constexpr int kPanelWidths[4] = {40, 60, 60, 50};
const char* const kThreadsSetting = "engine/threads";

} // namespace

TfrMain::TfrMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frMain");
    setWindowIcon(ProgramIcon());
    resize(448, 386);

    arenaView_ = new TArenaView;
    scrollArea_ = new QScrollArea;
    scrollArea_->setObjectName("ArenaScrollBox");
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scrollArea_->setWidget(arenaView_);
    setCentralWidget(scrollArea_);
    connect(arenaView_, &TArenaView::mousePressed, this, &TfrMain::arenaMouseDown);
    connect(arenaView_, &TArenaView::mouseMoved, this, &TfrMain::arenaMouseMove);
    connect(arenaView_, &TArenaView::mouseReleased, this, &TfrMain::arenaMouseUp);
    connect(arenaView_, &TArenaView::pictureMoved, this, &TfrMain::arenaPictureMoved);
    connect(arenaView_, &TArenaView::zoomWheeled, this, [this](int steps, QPointF at) {
        zoomSteps(steps, arenaView_->mapTo(scrollArea_->viewport(), at));
    });
    createStatusBar();
    initSimulation();
    createMenus();

    createWindows();
}

TfrMain::~TfrMain() {
    // The windows are Qt children and go after the simulation; nothing may
    // reach them or the view from the simulation any more.
    frames_->Pause();
    disconnect(arenaView_, nullptr, this, nullptr);
    simulation_->SetHost(nullptr);
    simulation_->Doc.SetPaintBox(nullptr);
}

void TfrMain::initSimulation() {
    InitVectors(2);
    simulation_ = std::make_unique<TSimulation>();
    frames_ = new TFrameTimer(*simulation_, this);
    connect(frames_, &TFrameTimer::frameFailed, this, &TfrMain::showError);
    auto buffer = std::make_unique<TQtSurface>();
    buffer->ShowArea(arenaView_->Surface().Area(), arenaView_->Surface().Scale());
    buffer_ = buffer.get();
    simulation_->Doc.SetBuffer(std::move(buffer));
    history_ = new TEditHistory(*simulation_, this);
    connect(history_, &TEditHistory::modifiedChanged, this, &QWidget::setWindowModified);
    connect(history_, &TEditHistory::aboutToRestore, frames_, &TFrameTimer::Pause);
    connect(frames_, &TFrameTimer::paused, history_, &TEditHistory::PrepareWhenIdle);
    connect(history_, &TEditHistory::restored, this, &TfrMain::restoredFromHistory);
    connect(history_, &TEditHistory::restoreFailed, this, &TfrMain::showError);
    dragging_ = false;
    UpdateArena();
    fileName_ = kUntitledFile;
    UpdateCaption();
}

// How many threads step large groups: every core unless chosen otherwise, and
// the choice is kept for the next start. Any count gives the same results.
void TfrMain::createThreadsMenu(QMenu* menu) {
    menu->setObjectName("ThreadsMI");
    const unsigned cores = HardwareThreads();
    QSettings settings;
    const unsigned chosen = settings.value(kThreadsSetting, cores).toUInt();
    simulation_->SetThreads(std::max(1u, chosen));
    auto* group = new QActionGroup(menu);
    std::vector<unsigned> counts;
    for (unsigned count = 1; count < cores; count *= 2)
        counts.push_back(count);
    counts.push_back(cores);
    if (std::find(counts.begin(), counts.end(), simulation_->Threads()) == counts.end())
        counts.push_back(simulation_->Threads());
    std::sort(counts.begin(), counts.end());
    for (const unsigned count : counts) {
        QString caption = count == 1 ? "1 Thread" : QString("%1 Threads").arg(count);
        if (count == cores)
            caption += " (every core)";
        QAction* item = menu->addAction(caption);
        item->setObjectName(QString("Threads%1MI").arg(count));
        item->setCheckable(true);
        item->setChecked(count == simulation_->Threads());
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, count] {
            simulation_->SetThreads(count);
            QSettings().setValue(kThreadsSetting, count);
        });
    }
}

void TfrMain::createWindows() {
    objectBrowser_ = new TfrObjectBrowser(*simulation_, *history_, this);
    animationController_ = new TfrAnimationController(*simulation_, *frames_, this);
    propertiesDialog_ = new TfrNewSimulation(this);
    infoBox_ = new TfrInfo(this);
    tools_ = new TfrTools(*simulation_, *frames_, this);
    statistics_ = new TfrStatistics(*simulation_, *frames_, this);
    statistics_->SetSimulationFile(fileName_);
    exportDialog_ = new TfrExport(*simulation_, this);
    videoExportDialog_ = new TfrVideoExport(*simulation_, this);
    propertyForm_ = new TPropertyForm(*simulation_, &objectBrowser_->Tree(), this);
    host_ = std::make_unique<TGuiHost>(*this, *objectBrowser_, *tools_, *animationController_,
                                       *statistics_, *propertyForm_);
    simulation_->SetHost(host_.get());
    connect(objectBrowser_, &TfrObjectBrowser::closed, this,
            [this] { objectBrowserItem_->setChecked(false); });
    connect(animationController_, &TfrAnimationController::closed, this,
            [this] { animationControllerItem_->setChecked(false); });
    connect(tools_, &TfrTools::closed, this, [this] { toolsItem_->setChecked(false); });
    connect(statistics_, &TfrStatistics::closed, this,
            [this] { statisticsItem_->setChecked(false); });
}

void TfrMain::createMenus() {
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, handler);
        return item;
    };

    QMenu* file = menuBar()->addMenu("&File");
    addItem(file, "NewMI", "New...", [this] {
        frames_->Pause();
        NewSimulation();
    })->setShortcut(QKeySequence::New);
    addItem(file, "OpenMI", "Open...", [this] {
        frames_->Pause();
        OpenSimulation();
    })->setShortcut(QKeySequence::Open);
    file->addSeparator();
    addItem(file, "SaveMI", "Save", [this] {
        frames_->Pause();
        SaveSimulation();
    })->setShortcut(QKeySequence::Save);
    addItem(file, "SaveAsMI", "Save As...", [this] {
        frames_->Pause();
        SaveSimulationAs();
    });
    addItem(file, "ExportMI", "Export Motion Data", [this] {
        frames_->Pause();
        exportDialog_->SetSimulationFile(fileName_);
        exportDialog_->exec();
    });
    addItem(file, "ExportVideoMI", "Export Video...", [this] {
        frames_->Pause();
        videoExportDialog_->Prepare(fileName_, arenaView_->Zoom(),
                                    animationController_->ShowTrails());
        videoExportDialog_->exec();
    });
    addItem(file, "SavePictureMI", "Save Picture...", [this] {
        frames_->Pause();
        SavePicture();
    });
    file->addSeparator();
    addItem(file, "ExitMI", "Exit", [this] { Exit(); })->setShortcut(QKeySequence("Alt+F4"));

    createEditMenu();

    QMenu* objects = menuBar()->addMenu("&Objects");
    addItem(objects, "GroupMI", "Group", [this] {
        history_->Record("New Group", [this] { return simulation_->NewGroup() != nullptr; });
    });
    objects->addSeparator();
    addItem(objects, "TriggerMI", "Trigger", [this] {
        history_->Record("New Trigger", [this] { return simulation_->NewTrigger() != nullptr; });
    });

    QMenu* simulation = menuBar()->addMenu("&Simulation");
    addItem(simulation, "RunMI", "Run", [this] { frames_->Run(); });
    addItem(simulation, "PauseMI", "Pause", [this] { frames_->Pause(); });
    addItem(simulation, "RewindMI", "Rewind", [this] { frames_->Rewind(); });
    simulation->addSeparator();
    addItem(simulation, "CurrenttoStartValuesMI", "Current to Start Values", [this] {
        history_->Record("Current to Start Values", [this] {
            frames_->CurrentToStart();
            return true;
        });
    });
    simulation->addSeparator();
    addItem(simulation, "PropertiesMI", "Properties...", [this] { EditSimulationProperties(); });
    createThreadsMenu(simulation->addMenu("&Threads"));

    createViewMenu();

    QMenu* window = menuBar()->addMenu("&Window");
    objectBrowserItem_ = addItem(window, "ObjectBrowserMI", "Object Browser",
                                 [this] { showForm(objectBrowserItem_, objectBrowser_); });
    animationControllerItem_ =
        addItem(window, "AnimationControllerMI", "Animation Controller",
                [this] { showForm(animationControllerItem_, animationController_); });
    toolsItem_ = addItem(window, "VisibleObjectCreatorMI", "Tools",
                         [this] { showForm(toolsItem_, tools_); });
    for (QAction* item : {objectBrowserItem_, animationControllerItem_, toolsItem_}) {
        item->setCheckable(true);
        item->setChecked(true);
    }
    // Measuring the groups costs time every frame, so the chart waits until
    // it is asked for.
    statisticsItem_ = addItem(window, "StatisticsMI", "Statistics",
                              [this] { showForm(statisticsItem_, statistics_); });
    statisticsItem_->setCheckable(true);

    QMenu* info = menuBar()->addMenu("&?");
    addItem(info, "InfoMI", "Info", [this] {
        infoBox_->show();
        infoBox_->raise();
    });
}

void TfrMain::createEditMenu() {
    QMenu* edit = menuBar()->addMenu("&Edit");
    QUndoStack& stack = history_->Stack();
    QAction* undo = edit->addAction("&Undo", history_, &TEditHistory::Undo);
    undo->setObjectName("UndoMI");
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = edit->addAction("&Redo", history_, &TEditHistory::Redo);
    redo->setObjectName("RedoMI");
    redo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    auto showSteps = [&stack, undo, redo] {
        undo->setEnabled(stack.canUndo());
        redo->setEnabled(stack.canRedo());
        undo->setText(stack.canUndo() ? "&Undo " + stack.undoText() : "&Undo");
        redo->setText(stack.canRedo() ? "&Redo " + stack.redoText() : "&Redo");
    };
    connect(&stack, &QUndoStack::indexChanged, this, showSteps);
    connect(&stack, &QUndoStack::cleanChanged, this, showSteps);
    showSteps();

    edit->addSeparator();
    QAction* history = edit->addAction("Undo &History");
    history->setObjectName("UndoHistoryMI");
    connect(history, &QAction::triggered, this, [this] {
        if (historyWindow_ == nullptr) {
            auto* view = new QUndoView(&history_->Stack(), this);
            view->setWindowFlags(Qt::Tool);
            view->setWindowTitle("Undo History");
            view->setEmptyLabel("<opened or new simulation>");
            view->resize(240, 300);
            historyWindow_ = view;
        }
        historyWindow_->show();
        historyWindow_->raise();
    });
}

void TfrMain::createStatusBar() {
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel;
        panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
        panels_[i]->setMinimumWidth(kPanelWidths[i]);
        if (i > 0)
            panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(panels_[i], i == 3 ? 1 : 0);
    }
    zoomPanel_ = new QLabel;
    zoomPanel_->setObjectName("ZoomPanel");
    zoomPanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->addPermanentWidget(zoomPanel_);
    panels_[0]->setText(kPositionPanel);
    panels_[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TfrMain::setPanel(int panel, const QString& text) {
    panels_[panel]->setText(text);
}

void TfrMain::showError(const QString& message) {
    QMessageBox::critical(this, windowTitle(), message);
}

int TfrMain::MeterToPixel(Extended meters) const {
    return kova::MeterToPixel(meters, simulation_->PixelsPerMeter);
}

void TfrMain::UpdateArena() {
    simulation_->Doc.SetPaintBox(&arenaView_->Surface());
    ApplyArena(*simulation_);
    // The view's new size may show another part of the arena, which is then
    // drawn as the picture moves.
    if (!arenaView_->FollowViewport())
        redrawArena();
    if (animationController_ != nullptr)
        animationController_->ShowSimulationValues();
}

void TfrMain::redrawArena() {
    // A run with trails draws over whatever the buffer holds; a resized or
    // moved buffer holds nothing of the arena yet.
    simulation_->Doc.ClearBuffer();
    // Clearing and then drawing everything is what the view's repaint does.
    simulation_->Repaint();
}

void TfrMain::arenaPictureMoved() {
    const TQtSurface& picture = arenaView_->Surface();
    buffer_->ShowArea(picture.Area(), picture.Scale());
    redrawArena();
}

void TfrMain::UpdateCaption() {
    const qsizetype slash = std::max(fileName_.lastIndexOf('/'), fileName_.lastIndexOf('\\'));
    // Qt puts the platform's mark for unsaved changes in place of "[*]".
    setWindowTitle(kCaptionPrefix + fileName_.mid(slash + 1) + "[*]");
    if (statistics_ != nullptr)
        statistics_->SetSimulationFile(fileName_);
}

void TfrMain::NewSimulation() {
    if (!AskToSaveChanges())
        return;
    const bool created = history_->Record("New Simulation", [this] {
        propertiesDialog_->SetSimulation(simulation_.get());
        if (propertiesDialog_->exec() != QDialog::Accepted)
            return false;
        if (QMessageBox::question(this, kConfirmTitle, kConfirmNew,
                                  QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return false;
        simulation_->RemoveAll();
        UpdateArena();
        return true;
    });
    if (!created)
        return;
    statistics_->Clear();
    fileName_ = kUntitledFile;
    UpdateCaption();
}

void TfrMain::EditSimulationProperties() {
    history_->Record("Simulation Properties", [this] {
        propertiesDialog_->SetSimulation(simulation_.get());
        if (propertiesDialog_->exec() != QDialog::Accepted)
            return false;
        UpdateArena();
        return true;
    });
}

void TfrMain::Exit() {
    frames_->Pause();
    close();
}

void TfrMain::restoredFromHistory() {
    // The restored simulation has a past of its own.
    statistics_->Clear();
    UpdateArena();
}

void TfrMain::showForm(QAction* item, QWidget* window) {
    // The item has already changed its check mark.
    window->setVisible(item->isChecked());
}

void TfrMain::SetArenaCursor(TArenaCursor cursor) {
    arenaView_->setCursor(cursor == TArenaCursor::Cross ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TfrMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (toolWindowsPlaced_)
        return;
    toolWindowsPlaced_ = true;
    placeToolWindows();
    objectBrowser_->show();
    animationController_->show();
    tools_->show();
}

void TfrMain::placeToolWindows() {
    const QRect frame = frameGeometry();
    const int column = frame.right() + 8;
    tools_->move(column, frame.top());
    animationController_->move(column, frame.top() + tools_->sizeHint().height() + 40);
    const int browserColumn =
        column + std::max(tools_->sizeHint().width(), animationController_->sizeHint().width()) +
        16;
    objectBrowser_->move(browserColumn, frame.top());
    statistics_->move(frame.left(), frame.bottom() + 8);
}

void TfrMain::closeEvent(QCloseEvent* event) {
    frames_->Pause();
    if (!AskToSaveChanges()) {
        event->ignore();
        return;
    }
    objectBrowser_->hide();
    animationController_->hide();
    tools_->hide();
    statistics_->hide();
    infoBox_->hide();
    QMainWindow::closeEvent(event);
}

} // namespace kova
