// How the desktop program copes with large simulations: the main window
// (offscreen) opening a flock of N bugs, File > New and closing with it open,
// a density-brush drag of about 10,000 bugs, deleting the group and one bug
// through the object browser, one running frame against the engine's step
// alone and with the Statistics window shown (which measures every group each
// frame), and the peak memory of the window against kova-cli.
//
// Each operation is a one-shot that may take minutes at 100,000 bugs, so the
// program is a plain driver rather than a Google Benchmark: it generates the
// scene (scripts/make-flock-scene.py, then kova-cli build), runs every
// measurement in a child process of its own (this program again, with
// --child) and kills the child once it exceeds the time limit, which is then
// reported as "> limit". It prints one table; it measures, it never judges.
//
//     QT_QPA_PLATFORM=offscreen gui_scale_bench --sizes 1000,10000,100000
//         --timeout-seconds 300

#include "foundations/Matrix.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "ui/ArenaView.h"
#include "ui/EditHistory.h"
#include "ui/FrameTimer.h"
#include "ui/MainWindow.h"
#include "ui/ObjectBrowser.h"
#include "ui/StatisticsWindow.h"
#include "ui/Tools.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef KOVA_SOURCE_DIR
#define KOVA_SOURCE_DIR "."
#endif
#ifndef KOVA_CLI_PATH
#define KOVA_CLI_PATH "kova-cli"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// --- the child: one measurement on the real main window ----------------------

// Processor time of this process (user and system), which the other work on a
// shared machine disturbs far less than the time on the clock.
double processorMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Every result line of a child is "key value"; the driver collects them.
void report(const char* key, double value) {
    std::printf("%s %.6g\n", key, value);
    std::fflush(stdout);
}

// The time on the clock and the processor time since it was made.
struct TStopwatch {
    Clock::time_point wall = Clock::now();
    double processor = processorMilliseconds();

    // Reports "key" (clock) and "key_cpu" (processor), each divided by `per`.
    void Report(const std::string& key, double per = 1) const {
        report(key.c_str(), millisecondsSince(wall) / per);
        report((key + "_cpu").c_str(), (processorMilliseconds() - processor) / per);
    }
};

// Processor time of the calling thread alone: the main thread's share when
// other threads (the Statistics window's measuring) work beside it.
double threadProcessorMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Lets the event loop run until it has nothing left to do: the posted events
// (repaints, deferred deletions) are handled before a zero timer fires, and a
// few rounds catch the work those events post in turn.
void processUntilIdle() {
    for (int round = 0; round < 3; ++round) {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Runs `answer` on the next modal window that `wanted` accepts, as a user
// would, from a timer: a modal window runs its own event loop.
void answerNextModal(std::function<bool(QWidget&)> wanted, std::function<void(QWidget&)> answer) {
    auto* poll = new QTimer;
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, attempts, wanted, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal != nullptr && wanted(*modal);
        if (!found && ++*attempts < 60000)
            return;
        poll->stop();
        poll->deleteLater();
        if (found)
            answer(*modal);
    });
    // Polled every millisecond, so the answer adds next to nothing to the time.
    poll->start(1);
}

void answerNextMessageBox(QMessageBox::StandardButton button) {
    answerNextModal([](QWidget& modal) { return qobject_cast<QMessageBox*>(&modal) != nullptr; },
                    [button](QWidget& modal) {
                        if (QAbstractButton* answer =
                                static_cast<QMessageBox&>(modal).button(button))
                            answer->click();
                    });
}

void clickOnNextDialog(const char* buttonName) {
    answerNextModal(
        [buttonName](QWidget& modal) {
            return qobject_cast<QMessageBox*>(&modal) == nullptr &&
                   modal.findChild<QPushButton*>(buttonName) != nullptr;
        },
        [buttonName](QWidget& modal) { modal.findChild<QPushButton*>(buttonName)->click(); });
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint position, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(position), widget->mapToGlobal(QPointF(position)), button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QAction* menuItem(const QWidget& window, const char* name) {
    QAction* item = window.findChild<QAction*>(name);
    if (item == nullptr) {
        std::fprintf(stderr, "gui_scale_bench: no menu item %s\n", name);
        std::exit(3);
    }
    return item;
}

kova::TBugGroup& onlyGroup(kova::TSimulation& simulation) {
    if (simulation.Groups.empty()) {
        std::fprintf(stderr, "gui_scale_bench: the file has no group\n");
        std::exit(3);
    }
    return *simulation.Groups.front();
}

// The main window, shown, with every event of its start handled.
std::unique_ptr<kova::TfrMain> shownWindow() {
    auto window = std::make_unique<kova::TfrMain>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        std::fprintf(stderr, "gui_scale_bench: the main window was never exposed\n");
        std::exit(3);
    }
    processUntilIdle();
    return window;
}

// The program as a user starts it, with the file opened through File > Open's
// own loading path; reports the time from constructing the window to the
// arena drawn, and its parts.
std::unique_ptr<kova::TfrMain> openWindow(const QString& path, bool measure) {
    const Clock::time_point start = Clock::now();
    const TStopwatch whole;
    auto window = shownWindow();
    const double shown = millisecondsSince(start);
    if (!window->OpenFile(path)) {
        std::fprintf(stderr, "gui_scale_bench: cannot open %s\n", qPrintable(path));
        std::exit(3);
    }
    const double loaded = millisecondsSince(start);
    processUntilIdle();
    const double drawn = millisecondsSince(start);
    if (measure) {
        whole.Report("open_ms");
        report("open_window_ms", shown);
        report("open_file_ms", loaded - shown);
        report("open_events_ms", drawn - loaded);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return window;
}

void measureNew(kova::TfrMain& window) {
    // File > New: the properties dialog taken as it is, then Yes.
    clickOnNextDialog("OKButton");
    answerNextMessageBox(QMessageBox::Yes);
    const TStopwatch watch;
    menuItem(window, "NewMI")->trigger();
    processUntilIdle();
    watch.Report("new_ms");
    report("new_groups_left", static_cast<double>(window.Simulation().Groups.size()));
}

// Where the time of one edit goes. The edit history takes a snapshot of the
// state before the edit when the edit starts (unless it still holds one from
// the previous edit), and one of the state after it once the program is idle.
// The snapshot before is taken here first, on its own, through an edit that
// changes nothing; then the clock watches the events of the edit: the paints
// of the arena and the history's deferred snapshot. Each event lasts until the
// next one is delivered.
class TEditClock : public QObject {
public:
    explicit TEditClock(kova::TfrMain& window) : window_(window) {}

    // The edit through `act`, reported as "key" (everything, with the snapshot
    // before), "key_before" (the snapshot before), "key_edit" (until `act`
    // returned), "key_shown" (until the arena's first paint after it ended),
    // "key_snapshot" (the history's snapshot after it) and "key_snapshot_first"
    // (1 when that snapshot came before the arena's paint).
    void Measure(const std::string& key, const std::function<void()>& act) {
        const TStopwatch whole;
        const Clock::time_point primed = Clock::now();
        window_.History().Record("", [] { return false; });
        const double before = millisecondsSince(primed);

        const Clock::time_point start = Clock::now();
        qApp->installEventFilter(this);
        act();
        const double edit = millisecondsSince(start);
        processUntilIdle();
        close(Clock::now());
        qApp->removeEventFilter(this);
        whole.Report(key.c_str());

        auto since = [&](Clock::time_point at) {
            return std::chrono::duration<double, std::milli>(at - start).count();
        };
        report((key + "_before").c_str(), before);
        report((key + "_edit").c_str(), edit);
        if (painted_)
            report((key + "_shown").c_str(), std::max(edit, since(paintEnd_)));
        if (snapshotted_) {
            report(
                (key + "_snapshot").c_str(),
                std::chrono::duration<double, std::milli>(snapshotEnd_ - snapshotStart_).count());
            report((key + "_snapshot_first").c_str(),
                   !painted_ || snapshotStart_ < paintStart_ ? 1 : 0);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const Clock::time_point now = Clock::now();
        close(now);
        const bool arena = watched == &window_.ArenaView() ||
                           (watched != nullptr && watched->parent() == &window_.ArenaView());
        if (arena && event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            paintStart_ = now;
            open_ = &paintEnd_;
        } else if (watched == &window_.History() && !snapshotted_ &&
                   (event->type() == QEvent::MetaCall || event->type() == QEvent::Timer)) {
            snapshotted_ = true;
            snapshotStart_ = now;
            open_ = &snapshotEnd_;
        }
        return false;
    }

private:
    void close(Clock::time_point now) {
        if (open_ != nullptr)
            *open_ = now;
        open_ = nullptr;
    }

    kova::TfrMain& window_;
    bool painted_ = false;
    bool snapshotted_ = false;
    Clock::time_point paintStart_, paintEnd_, snapshotStart_, snapshotEnd_;
    Clock::time_point* open_ = nullptr;
};

void measurePaint(kova::TfrMain& window, int wanted) {
    kova::TSimulation& simulation = window.Simulation();
    kova::TBugGroup& group = onlyGroup(simulation);
    // At full density every cell of one bug diameter gets a bug, so a square
    // of side cells paints side x side bugs.
    window.Tools().findChild<kova::TFloatEdit*>("DensityEdit")->SetValue(100);
    window.Tools().findChild<QToolButton*>("BugCreationButton")->click();
    processUntilIdle();
    if (!simulation.BugCreationMode || window.Tools().ChosenGroup() != &group) {
        std::fprintf(stderr, "gui_scale_bench: the bug tool is not ready\n");
        std::exit(3);
    }
    const double cell = static_cast<double>(group.Template.DiameterVariantValue.BaseValue);
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(wanted))));
    const int reach = static_cast<int>(std::lround((side - 1) * cell));
    const QPoint from(0, 0);
    const QPoint to(std::min(reach, static_cast<int>(simulation.Space.Width)),
                    std::min(reach, static_cast<int>(simulation.Space.Height)));
    QWidget* view = &window.ArenaView();
    const std::size_t before = group.Members.size();

    TEditClock clock(window);
    clock.Measure("paint_ms", [&] {
        sendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
        sendMouse(view, QEvent::MouseMove, to, Qt::LeftButton);
        sendMouse(view, QEvent::MouseButtonRelease, to, Qt::NoButton);
    });
    report("paint_created", static_cast<double>(group.Members.size() - before));
}

// Selects the object's node in the object browser, as a click on it would.
void selectInBrowser(kova::TfrMain& window, kova::TNamedObject& object) {
    kova::TObjectTree& tree = window.ObjectBrowser().Tree();
    tree.SelectObject(&object);
    processUntilIdle();
    if (tree.SelectedObject() != &object) {
        std::fprintf(stderr, "gui_scale_bench: cannot select %s\n", object.Name.c_str());
        std::exit(3);
    }
}

// The object browser's Edit > Delete on the selected node, a group's
// confirmation answered with Yes; reports the time until the program is idle
// and its parts.
void deleteSelected(kova::TfrMain& window, bool confirm, const char* key) {
    if (confirm)
        answerNextMessageBox(QMessageBox::Yes);
    TEditClock clock(window);
    clock.Measure(key, [&] { menuItem(window.ObjectBrowser(), "DeleteMI")->trigger(); });
}

void measureDeleteBug(kova::TfrMain& window) {
    kova::TBugGroup& group = onlyGroup(window.Simulation());
    kova::TBug& bug = *group.Members[group.Members.size() / 2];
    const std::size_t before = group.Members.size();
    selectInBrowser(window, bug);
    deleteSelected(window, false, "delete_bug_ms");
    report("delete_bug_removed", static_cast<double>(before - group.Members.size()));
}

void measureDeleteGroup(kova::TfrMain& window) {
    kova::TSimulation& simulation = window.Simulation();
    kova::TBugGroup& group = onlyGroup(simulation);
    report("delete_group_members", static_cast<double>(group.Members.size()));
    selectInBrowser(window, group);
    deleteSelected(window, true, "delete_group_ms");
    report("delete_group_groups_left", static_cast<double>(simulation.Groups.size()));
}

std::uint64_t framesSoFar(const kova::TSimulation& simulation) {
    return static_cast<std::uint64_t>(simulation.CurrentSecond) * simulation.FPS +
           simulation.CurrentFrame;
}

// Simulation > Run with no delay between frames, so the frames follow each
// other as fast as the window manages: the time per frame is the timer's step
// (steering, drawing, updates of the tool windows) and the repaints between.
void measureWindowFrames(kova::TfrMain& window, int frames) {
    kova::TSimulation& simulation = window.Simulation();
    simulation.SetDelay(0);
    menuItem(window, "RunMI")->trigger();
    // The first frame comes at once with Run; the measured ones follow it.
    while (framesSoFar(simulation) < 1)
        QApplication::processEvents(QEventLoop::AllEvents);
    const std::uint64_t first = framesSoFar(simulation);
    const TStopwatch watch;
    const double mainThread = threadProcessorMilliseconds();
    while (simulation.Running && framesSoFar(simulation) < first + static_cast<unsigned>(frames))
        QApplication::processEvents(QEventLoop::AllEvents);
    const std::uint64_t stepped = framesSoFar(simulation) - first;
    if (stepped > 0) {
        watch.Report("frame_window_ms", static_cast<double>(stepped));
        report("frame_window_main_cpu_ms",
               (threadProcessorMilliseconds() - mainThread) / static_cast<double>(stepped));
    }
    window.Frames().Pause();
    report("frame_window_frames", static_cast<double>(stepped));
}

// The engine alone on the same file: TSimulation::StepFrame without a window.
void measureEngineFrames(const QString& path, int frames) {
    kova::InitVectors(2);
    kova::TSimulation simulation;
    kova::OpenSimulationFile(simulation, path.toLocal8Bit().toStdString());
    simulation.BeginRun();
    simulation.StepFrame();
    const TStopwatch watch;
    int stepped = 0;
    for (; stepped < frames && simulation.Running; ++stepped)
        simulation.StepFrame();
    if (stepped > 0)
        watch.Report("frame_engine_ms", stepped);
    report("frame_engine_frames", stepped);
}

// The window with the file loaded while the simulation's host is detached:
// the tool windows (the object browser's list above all) never hear of the
// objects, so that a slow list does not keep the arena's frames and memory
// from being measured.
std::unique_ptr<kova::TfrMain> openWindowQuietly(const QString& path) {
    auto window = shownWindow();
    kova::TSimulation& simulation = window->Simulation();
    kova::ISimulationHost& host = simulation.Host();
    simulation.SetHost(nullptr);
    kova::OpenSimulationFile(simulation, path.toLocal8Bit().toStdString());
    simulation.SetHost(&host);
    window->UpdateArena();
    processUntilIdle();
    return window;
}

int runChild(const std::string& step, const QString& path, int frames, int paintBugs) {
    if (step == "engine") {
        measureEngineFrames(path, frames);
        return 0;
    }
    if (step == "quietframe") {
        std::unique_ptr<kova::TfrMain> window = openWindowQuietly(path);
        measureWindowFrames(*window, frames);
        report("rss_window_kb", static_cast<double>(peakResidentKilobytes()));
        return 0;
    }
    const bool measureOpen = step == "open";
    std::unique_ptr<kova::TfrMain> window = openWindow(path, measureOpen);
    if (step == "open") {
        report("rss_window_kb", static_cast<double>(peakResidentKilobytes()));
        measureNew(*window);
    } else if (step == "close") {
        const TStopwatch watch;
        window.reset();
        processUntilIdle();
        watch.Report("close_ms");
    } else if (step == "paint") {
        measurePaint(*window, paintBugs);
    } else if (step == "delete") {
        // One bug first, then the group with the rest of its members.
        measureDeleteBug(*window);
        measureDeleteGroup(*window);
    } else if (step == "frame") {
        measureWindowFrames(*window, frames);
    } else if (step == "statsframe") {
        // Window > Statistics: from now on every frame measures the groups.
        menuItem(*window, "StatisticsMI")->trigger();
        processUntilIdle();
        measureWindowFrames(*window, frames);
        report("stats_samples", static_cast<double>(window->Statistics().History().SampleCount()));
    } else {
        std::fprintf(stderr, "gui_scale_bench: unknown step %s\n", step.c_str());
        return 2;
    }
    return 0;
}

// --- the driver ----------------------------------------------------------------

struct TChildResult {
    bool started = false;
    bool timedOut = false;
    bool sawReady = false;
    int status = 0;
    double seconds = 0;
    long peakKilobytes = 0;
    std::map<std::string, double> values;
    std::string text;
};

// Runs the program with these arguments, its standard output collected, its
// standard error shown; killed once it has run for `limit` seconds.
TChildResult runProcess(const std::vector<std::string>& arguments, double limit,
                        const char* outputFile = nullptr, bool quiet = false) {
    TChildResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return result;
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return result;
    }
    if (child == 0) {
        close(pipeEnds[0]);
        int out = pipeEnds[1];
        if (outputFile != nullptr) {
            out = open(outputFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0)
                _exit(127);
        }
        dup2(out, STDOUT_FILENO);
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0)
                dup2(null, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    result.started = true;
    const Clock::time_point deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit));
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        pollfd wait{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        result.text.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    rusage usage{};
    int status = 0;
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.status = status;
    result.seconds = millisecondsSince(start) / 1000;
    result.peakKilobytes = usage.ru_maxrss;
    std::istringstream lines(result.text);
    std::string key;
    double value = 0;
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "ready") {
            result.sawReady = true;
            continue;
        }
        std::istringstream fields(line);
        if (fields >> key >> value)
            result.values[key] = value;
    }
    return result;
}

bool succeeded(const TChildResult& result) {
    return result.started && !result.timedOut && WIFEXITED(result.status) &&
           WEXITSTATUS(result.status) == 0;
}

struct TOptions {
    std::vector<int> sizes = {1000, 10000, 100000};
    double timeoutSeconds = 300;
    int frames = 10;
    int paintBugs = 10000;
    unsigned seed = 1;
    std::vector<std::string> steps = {"open",  "close",      "paint",  "delete",
                                      "frame", "statsframe", "engine", "cli"};
    std::string workDir;
    std::string kovaCli = KOVA_CLI_PATH;
    std::string generator = KOVA_SOURCE_DIR "/scripts/make-flock-scene.py";
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ','))
        if (!item.empty())
            items.push_back(item);
    return items;
}

void usage() {
    std::printf(
        "usage: gui_scale_bench [--sizes N,N,...] [--timeout-seconds S] [--frames F]\n"
        "                       [--paint-bugs B] [--seed S] [--steps LIST] [--work-dir DIR]\n"
        "                       [--kova-cli PATH] [--generator PATH]\n"
        "\n"
        "Measures the desktop program's main window (run with QT_QPA_PLATFORM=offscreen)\n"
        "on flocks of N bugs made by scripts/make-flock-scene.py and kova-cli build.\n"
        "Every step runs in a child process killed after S seconds (default 300),\n"
        "reported as \"> S s\"; when opening the file does not finish within the\n"
        "limit, the steps that need the open file are not run for that size.\n"
        "\n"
        "steps (default all): open (construct the window, open the file, draw; then\n"
        "  File > New over it; peak memory), close (destroy the window with the file\n"
        "  open), paint (one density-brush drag of about B bugs, default 10000),\n"
        "  delete (one bug, then the group, through the object browser), frame\n"
        "  (F running frames in the window, default 10), statsframe (the same with\n"
        "  the Statistics window shown), engine (F frames of\n"
        "  TSimulation::StepFrame without a window), cli (peak memory of\n"
        "  kova-cli run FILE --until 0:1), quietframe (F running frames and the\n"
        "  peak memory of the window with the file loaded behind the tool windows'\n"
        "  backs, so the object browser's list stays empty; not run by default).\n"
        "The generated files go to DIR (default a new folder under /tmp).\n");
}

std::optional<TOptions> parseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "gui_scale_bench: %s needs a value\n", option.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (option == "--help" || option == "-h") {
            usage();
            std::exit(0);
        } else if (option == "--sizes") {
            options.sizes.clear();
            for (const std::string& size : splitList(value()))
                options.sizes.push_back(std::stoi(size));
        } else if (option == "--timeout-seconds") {
            options.timeoutSeconds = std::stod(value());
        } else if (option == "--frames") {
            options.frames = std::max(1, std::stoi(value()));
        } else if (option == "--paint-bugs") {
            options.paintBugs = std::max(1, std::stoi(value()));
        } else if (option == "--seed") {
            options.seed = static_cast<unsigned>(std::stoul(value()));
        } else if (option == "--steps") {
            options.steps = splitList(value());
        } else if (option == "--work-dir") {
            options.workDir = value();
        } else if (option == "--kova-cli") {
            options.kovaCli = value();
        } else if (option == "--generator") {
            options.generator = value();
        } else {
            std::fprintf(stderr, "gui_scale_bench: unknown option %s (see --help)\n",
                         option.c_str());
            return std::nullopt;
        }
    }
    return options;
}

bool wants(const TOptions& options, const std::string& step) {
    for (const std::string& wanted : options.steps)
        if (wanted == step)
            return true;
    return false;
}

std::string formatMilliseconds(double milliseconds) {
    char text[64];
    if (milliseconds >= 10000)
        std::snprintf(text, sizeof text, "%.1f s", milliseconds / 1000);
    else if (milliseconds >= 100)
        std::snprintf(text, sizeof text, "%.0f ms", milliseconds);
    else
        std::snprintf(text, sizeof text, "%.2f ms", milliseconds);
    return text;
}

std::string formatKilobytes(double kilobytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f MB", kilobytes / 1024);
    return text;
}

// One row of the table: for each size the figure or why there is none.
struct TRow {
    std::string name;
    std::map<int, std::string> cells;
};

struct TTable {
    std::vector<TRow> rows;
    TRow& row(const std::string& name) {
        for (TRow& existing : rows)
            if (existing.name == name)
                return existing;
        rows.push_back({name, {}});
        return rows.back();
    }
};

std::string failureText(const TChildResult& result, double limit, const char* before) {
    char text[96];
    if (!result.started)
        return "could not start";
    if (result.timedOut) {
        if (before != nullptr && !result.sawReady)
            std::snprintf(text, sizeof text, "n/a (%s > %.0f s)", before, limit);
        else
            std::snprintf(text, sizeof text, "> %.0f s", limit);
        return text;
    }
    if (WIFSIGNALED(result.status))
        std::snprintf(text, sizeof text, "died (signal %d)", WTERMSIG(result.status));
    else
        std::snprintf(text, sizeof text, "failed (exit %d)", WEXITSTATUS(result.status));
    return text;
}

void printTable(const TTable& table, const TOptions& options) {
    std::size_t nameWidth = 4;
    for (const TRow& row : table.rows)
        nameWidth = std::max(nameWidth, row.name.size());
    std::vector<std::size_t> widths;
    for (int size : options.sizes) {
        std::size_t width = std::to_string(size).size() + 7;
        for (const TRow& row : table.rows) {
            const auto cell = row.cells.find(size);
            if (cell != row.cells.end())
                width = std::max(width, cell->second.size());
        }
        widths.push_back(width);
    }
    std::printf("\n| %-*s |", static_cast<int>(nameWidth), "step");
    for (std::size_t i = 0; i < options.sizes.size(); ++i)
        std::printf(" %*s |", static_cast<int>(widths[i]),
                    (std::to_string(options.sizes[i]) + " bugs").c_str());
    std::printf("\n|%s|", std::string(nameWidth + 2, '-').c_str());
    for (std::size_t width : widths)
        std::printf("%s:|", std::string(width + 1, '-').c_str());
    std::printf("\n");
    for (const TRow& row : table.rows) {
        std::printf("| %-*s |", static_cast<int>(nameWidth), row.name.c_str());
        for (std::size_t i = 0; i < options.sizes.size(); ++i) {
            const auto cell = row.cells.find(options.sizes[i]);
            std::printf(" %*s |", static_cast<int>(widths[i]),
                        cell != row.cells.end() ? cell->second.c_str() : "-");
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

std::string loadAverage() {
    double loads[3] = {};
    if (getloadavg(loads, 3) != 3)
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", loads[0], loads[1], loads[2]);
    return text;
}

int runDriver(const TOptions& options, const std::string& self) {
    std::string workDir = options.workDir;
    if (workDir.empty()) {
        char pattern[] = "/tmp/kova-gui-scale-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("gui_scale_bench: mkdtemp");
            return 1;
        }
        workDir = pattern;
    } else if (mkdir(workDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(("gui_scale_bench: " + workDir).c_str());
        return 1;
    }
    const double limit = options.timeoutSeconds;
    const std::string frames = std::to_string(options.frames);
    std::printf(
        "gui_scale_bench: flocks of %s bugs, scenes in %s, limit %.0f s per step, "
        "%d frames\n",
        [&] {
            std::string sizes;
            for (int size : options.sizes)
                sizes += (sizes.empty() ? "" : ", ") + std::to_string(size);
            return sizes;
        }()
            .c_str(),
        workDir.c_str(), limit, options.frames);
    std::printf("load average at start: %s (%ld processors online)\n", loadAverage().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("times are on the clock, with the processor time of the measuring process "
                "(user + system) in brackets\n");
    std::fflush(stdout);

    TTable table;
    auto progress = [](int size, const char* step, const TChildResult& result) {
        std::fprintf(stderr, "  %6d bugs, %-7s %8.1f s%s  (load %s)\n", size, step, result.seconds,
                     result.timedOut ? " killed at the limit" : "", loadAverage().c_str());
    };

    for (int size : options.sizes) {
        const std::string base = workDir + "/flock-" + std::to_string(size);
        const std::string scene = base + ".json";
        const std::string file = base + ".kvz";
        // The scene and the file, made as a user would with the shipped tools.
        const TChildResult generated = runProcess(
            {"python3", options.generator, std::to_string(size), std::to_string(options.seed)},
            limit, scene.c_str());
        const TChildResult built = succeeded(generated)
                                       ? runProcess({options.kovaCli, "build", scene, file}, limit)
                                       : generated;
        if (!succeeded(built)) {
            std::fprintf(stderr, "gui_scale_bench: cannot make %s\n", file.c_str());
            return 1;
        }
        std::fprintf(stderr, "  %6d bugs: %s\n", size, file.c_str());

        auto child = [&](const char* step) {
            const TChildResult result =
                runProcess({self, "--child", step, "--file", file, "--frames", frames,
                            "--paint-bugs", std::to_string(options.paintBugs)},
                           limit);
            progress(size, step, result);
            return result;
        };
        auto put = [&](const char* row, const TChildResult& result, const char* key,
                       const char* before = "open") {
            const auto value = result.values.find(key);
            const auto processor = result.values.find(std::string(key) + "_cpu");
            if (value == result.values.end())
                table.row(row).cells[size] = failureText(result, limit, before);
            else if (processor == result.values.end())
                table.row(row).cells[size] = formatMilliseconds(value->second);
            else
                table.row(row).cells[size] = formatMilliseconds(value->second) + " (cpu " +
                                             formatMilliseconds(processor->second) + ")";
        };
        auto putCount = [&](const char* row, const TChildResult& result, const char* key) {
            const auto value = result.values.find(key);
            if (value != result.values.end())
                table.row(row).cells[size] = std::to_string(std::lround(value->second));
        };

        bool openFits = true;
        if (wants(options, "open")) {
            const TChildResult result = child("open");
            openFits = result.sawReady;
            put("open (construct, open file, drawn)", result, "open_ms", nullptr);
            // The parts of the open only when it finished.
            auto part = [&](const char* row, const char* key) {
                const auto value = result.values.find(key);
                if (value != result.values.end() && result.values.count("open_ms") != 0)
                    table.row(row).cells[size] = formatMilliseconds(value->second);
            };
            part("  of which: window up", "open_window_ms");
            part("  of which: OpenFile", "open_file_ms");
            part("  of which: events until idle", "open_events_ms");
            // A child killed at the limit still leaves its peak memory, the
            // least the window would have needed.
            const auto rss = result.values.find("rss_window_kb");
            table.row("peak memory: window, file open").cells[size] =
                rss != result.values.end() ? formatKilobytes(rss->second)
                : result.timedOut
                    ? ">= " + formatKilobytes(static_cast<double>(result.peakKilobytes)) +
                          " (at the limit)"
                    : failureText(result, limit, nullptr);
            put("new (File > New, file open)", result, "new_ms");
        }
        char skipped[64];
        std::snprintf(skipped, sizeof skipped, "n/a (open > %.0f s)", limit);
        auto windowStep = [&](const char* step) -> std::optional<TChildResult> {
            if (!wants(options, step))
                return std::nullopt;
            if (!openFits)
                return TChildResult{};
            return child(step);
        };
        auto putWindow = [&](const char* row, const std::optional<TChildResult>& result,
                             const char* key) {
            if (!result)
                return;
            if (!result->started && !openFits)
                table.row(row).cells[size] = skipped;
            else
                put(row, *result, key);
        };
        putWindow("close (destroy window, file open)", windowStep("close"), "close_ms");
        // The parts of an edit (TEditClock), each only when it was measured.
        auto putEditParts = [&](const std::optional<TChildResult>& result, const char* key,
                                const std::string& edit) {
            if (!result)
                return;
            auto part = [&](const std::string& row, const std::string& name) {
                const auto value = result->values.find(key + name);
                if (value != result->values.end())
                    table.row("  " + edit + ": " + row).cells[size] =
                        formatMilliseconds(value->second);
            };
            part("history's snapshot before", "_before");
            part("edit made (action returned)", "_edit");
            part("edit made and arena painted", "_shown");
            part("history's snapshot when idle", "_snapshot");
            const auto first = result->values.find(key + std::string("_snapshot_first"));
            if (first != result->values.end())
                table.row("  " + edit + ": idle snapshot before paint").cells[size] =
                    first->second != 0 ? "yes" : "no";
        };
        const std::optional<TChildResult> paint = windowStep("paint");
        putWindow("paint (one brush drag)", paint, "paint_ms");
        if (paint)
            putCount("  bugs created by the drag", *paint, "paint_created");
        putEditParts(paint, "paint_ms", "paint");
        const std::optional<TChildResult> removal = windowStep("delete");
        putWindow("delete one bug (object browser)", removal, "delete_bug_ms");
        putEditParts(removal, "delete_bug_ms", "one bug");
        putWindow("delete group (object browser)", removal, "delete_group_ms");
        if (removal)
            putCount("  members of the deleted group", *removal, "delete_group_members");
        putEditParts(removal, "delete_group_ms", "group");
        const std::optional<TChildResult> frame = windowStep("frame");
        putWindow("frame in the window (per frame)", frame, "frame_window_ms");
        putWindow("  main thread's processor time", frame, "frame_window_main_cpu_ms");
        const std::optional<TChildResult> statsFrame = windowStep("statsframe");
        putWindow("frame in the window, Statistics shown", statsFrame, "frame_window_ms");
        putWindow("  main thread's processor time, shown", statsFrame, "frame_window_main_cpu_ms");
        if (statsFrame)
            putCount("  samples the Statistics window kept", *statsFrame, "stats_samples");
        if (wants(options, "engine"))
            put("frame, engine StepFrame alone", child("engine"), "frame_engine_ms", nullptr);
        if (wants(options, "quietframe")) {
            const TChildResult quiet = child("quietframe");
            put("frame in the window, loaded quietly", quiet, "frame_window_ms", nullptr);
            const auto rss = quiet.values.find("rss_window_kb");
            table.row("peak memory: window, loaded quietly").cells[size] =
                rss != quiet.values.end() ? formatKilobytes(rss->second)
                                          : failureText(quiet, limit, nullptr);
        }
        if (wants(options, "cli")) {
            const TChildResult result =
                runProcess({options.kovaCli, "run", file, "--until", "0:1"}, limit, nullptr, true);
            progress(size, "cli", result);
            table.row("peak memory: kova-cli run --until 0:1").cells[size] =
                succeeded(result) ? formatKilobytes(static_cast<double>(result.peakKilobytes))
                                  : failureText(result, limit, nullptr);
        }
    }
    printTable(table, options);
    std::printf("\nload average at the end: %s\n", loadAverage().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The child mode: --child STEP --file PATH [--frames F] [--paint-bugs B].
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0) {
        std::string step;
        QString path;
        int frames = 10;
        int paintBugs = 10000;
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string option = argv[i];
            if (option == "--child")
                step = argv[i + 1];
            else if (option == "--file")
                path = QString::fromLocal8Bit(argv[i + 1]);
            else if (option == "--frames")
                frames = std::max(1, std::atoi(argv[i + 1]));
            else if (option == "--paint-bugs")
                paintBugs = std::max(1, std::atoi(argv[i + 1]));
        }
        // The offscreen platform's notes (no raise(), no size hints) would
        // bury the progress lines; real problems still come through.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", qPrintable(text));
        });
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        int qtArgc = 1;
        QApplication application(qtArgc, argv);
        return runChild(step, path, frames, paintBugs);
    }
    const std::optional<TOptions> options = parseOptions(argc, argv);
    if (!options)
        return 2;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        std::perror("gui_scale_bench: /proc/self/exe");
        return 1;
    }
    self[length] = '\0';
    return runDriver(*options, self);
}
