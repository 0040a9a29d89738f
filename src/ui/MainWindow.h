#pragma once

#include "foundations/Extended.h"
#include "render/ArenaPicture.h"
#include "simulation/SimulationHost.h"

#include <QMainWindow>
#include <QPoint>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QImage;
class QLabel;
class QScrollArea;

namespace kova {

class TArenaView;
class TEditHistory;
class TFrameTimer;
class TGuiHost;
class TPropertyForm;
class TQtSurface;
class TSimulation;
class TSpace;
class TfrAnimationController;
class TfrExport;
class TfrInfo;
class TfrNewSimulation;
class TfrObjectBrowser;
class TfrStatistics;
class TfrTools;
class TfrVideoExport;
enum class TArenaTool;

// A point of the arena in metres.
struct TArenaPoint {
    Extended X = 0;
    Extended Y = 0;
};
// The view's pixel point as a point of the arena, taken to the nearest edge
// when it lies outside (the arena spans 0 .. Width and 0 .. Height).
TArenaPoint InsideArena(QPoint point, const TSpace& arena);
// The number of bugs a drag of the bug tool promises: density per cent of the
// dragged area counted in cells of the given size (none without a positive
// cell size).
int EstimatedBugCount(int density, Extended cellSize, TArenaPoint start, TArenaPoint end);

// The main window: it creates and owns the one simulation, whose drawing
// document paints the arena view, creates the tool windows and dialogs, and
// carries the menu bar and the status bar. The arena's mouse tools act here.
class TfrMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrMain(QWidget* parent = nullptr);
    ~TfrMain() override;

    // The file name of a simulation that was never saved or opened.
    static constexpr const char* kUntitledFile = "untitled.kvz";

    TSimulation& Simulation() const { return *simulation_; }
    TfrObjectBrowser& ObjectBrowser() const { return *objectBrowser_; }
    TfrAnimationController& AnimationController() const { return *animationController_; }
    TfrNewSimulation& PropertiesDialog() const { return *propertiesDialog_; }
    TfrInfo& InfoBox() const { return *infoBox_; }
    TfrTools& Tools() const { return *tools_; }
    TfrStatistics& Statistics() const { return *statistics_; }
    TfrExport& ExportDialog() const { return *exportDialog_; }
    TfrVideoExport& VideoExportDialog() const { return *videoExportDialog_; }
    TPropertyForm& PropertyForm() const { return *propertyForm_; }
    TArenaView& ArenaView() const { return *arenaView_; }
    TFrameTimer& Frames() const { return *frames_; }
    TEditHistory& History() const { return *history_; }
    const QString& FileName() const { return fileName_; }

    int MeterToPixel(Extended meters) const;
    // Re-applies the arena's size and colour to the view, repaints it and
    // shows the simulation's loop point, clock and delay in the controller.
    void UpdateArena();
    // "Kova - " and the last component of the file name, marked while there
    // are unsaved changes.
    void UpdateCaption();
    // File > New...: the properties dialog, then a confirmation; on Yes every
    // object goes.
    void NewSimulation();
    // Simulation > Properties...
    void EditSimulationProperties();
    // File > Open...: chooses a file and loads it.
    void OpenSimulation();
    // Loads the file; on failure the user sees why and nothing changes.
    bool OpenFile(const QString& path);
    // File > Save: writes to FileName without asking; false when it failed.
    bool SaveSimulation();
    // File > Save As...; false when cancelled or failed.
    bool SaveSimulationAs();
    // The part of the arena the window shows, as it shows it.
    QImage ShownArena() const;
    // File > Save Picture...: ShownArena as a PNG file.
    void SavePicture();
    // File > Exit: stops the frames and ends the program (after asking about
    // unsaved changes).
    void Exit();
    // With unsaved changes, asks whether to save them first: true when the
    // caller may go on (saved, or discarded), false on Cancel or a failed save.
    bool AskToSaveChanges();
    void SetArenaCursor(TArenaCursor cursor);

    // View > Zoom In and Zoom Out: the next zoom level up or down, around the
    // middle of what is shown.
    void ZoomIn();
    void ZoomOut();
    // View > Fit Arena: the largest zoom that shows the whole arena.
    void FitArena();
    // View > Actual Size: one model pixel to a screen pixel.
    void ActualSize();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void initSimulation();
    // Draws the whole arena anew into the view's picture and fills the
    // buffer with the background, as after a change of the arena.
    void redrawArena();
    // The view's picture holds another part of the arena: the buffer follows
    // it, and both are drawn anew.
    void arenaPictureMoved();
    void createWindows();
    void createMenus();
    void createEditMenu();
    void createViewMenu();
    void createThreadsMenu(QMenu* menu);
    void restoredFromHistory();
    void createStatusBar();
    void placeToolWindows();
    void showForm(QAction* item, QWidget* window);
    void setPanel(int panel, const QString& text);
    void showError(const QString& message);

    // Arena mouse tools.
    void arenaMouseDown(QPoint position);
    void arenaMouseMove(QPoint position);
    void arenaMouseUp(QPoint position);
    bool brushTooLarge(TArenaPoint start, TArenaPoint end);
    void drawRubberBand(TArenaTool tool, QPoint to);
    void recordArenaEdit(const char* text, const std::function<void()>& edit);

    // Zoom: the model point under `anchor` (a point of the scroll area's
    // viewport) stays under it, as far as the scroll bars allow.
    void zoomAround(double zoom, QPointF anchor);
    void zoomSteps(int steps, QPointF anchor);
    QPointF viewportMiddle() const;
    void showZoom();

    std::unique_ptr<TSimulation> simulation_;
    std::unique_ptr<TGuiHost> host_;
    TEditHistory* history_ = nullptr;
    QWidget* historyWindow_ = nullptr;
    TFrameTimer* frames_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    TArenaView* arenaView_ = nullptr;
    // The drawing document's off-screen buffer, which holds the same part of
    // the arena as the view's picture.
    TQtSurface* buffer_ = nullptr;
    TfrObjectBrowser* objectBrowser_ = nullptr;
    TfrAnimationController* animationController_ = nullptr;
    TfrNewSimulation* propertiesDialog_ = nullptr;
    TfrInfo* infoBox_ = nullptr;
    TfrTools* tools_ = nullptr;
    TfrStatistics* statistics_ = nullptr;
    TfrExport* exportDialog_ = nullptr;
    TfrVideoExport* videoExportDialog_ = nullptr;
    TPropertyForm* propertyForm_ = nullptr;
    QAction* objectBrowserItem_ = nullptr;
    QAction* animationControllerItem_ = nullptr;
    QAction* toolsItem_ = nullptr;
    QAction* statisticsItem_ = nullptr;
    QAction* zoomInItem_ = nullptr;
    QAction* zoomOutItem_ = nullptr;
    QLabel* panels_[4] = {};
    QLabel* zoomPanel_ = nullptr;

    bool dragging_ = false;
    QPoint dragStart_;
    QString fileName_;
    bool toolWindowsPlaced_ = false;
};

} // namespace kova
