#include "EditorTests.h"

#include "simulation/MotionExport.h"
#include "simulation/SimulationFile.h"
#include "ui/ExportDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QTableView>
#include <QTemporaryDir>

#include <sstream>

using namespace kova;
using namespace kova::test;

namespace {

// The grid's state as the user sees it.
struct TGridView {
    int rows = 0;
    int columns = 0;
    QStringList headings;
    bool saveOn = false;
    bool applyOn = false;
};

TGridView ReadGrid(QWidget& dialog) {
    TGridView view;
    const QAbstractItemModel* model = Control<QTableView>(dialog, "ValueGrid")->model();
    view.rows = model->rowCount();
    view.columns = model->columnCount();
    for (int column = 0; column < view.columns; ++column)
        view.headings << model->headerData(column, Qt::Horizontal).toString();
    view.saveOn = Control<QPushButton>(dialog, "SaveButton")->isEnabled();
    view.applyOn = Control<QPushButton>(dialog, "ApplyButton")->isEnabled();
    return view;
}

QString Cell(QWidget& dialog, int column, int frame) {
    const QAbstractItemModel* model = Control<QTableView>(dialog, "ValueGrid")->model();
    return model->data(model->index(frame, column)).toString();
}

void TypeSpan(QWidget& dialog, const QString& second, const QString& frame) {
    TEditorView::type(Control<QLineEdit>(dialog, "TotalSecEdit"), second);
    TEditorView::type(Control<QLineEdit>(dialog, "TotalFrameEdit"), frame);
}

// Cancels every progress window the moment it is shown.
class TProgressCanceller : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* progress = qobject_cast<QProgressDialog*>(watched)) {
                label = progress->labelText();
                progress->cancel();
            }
        return false;
    }
    QString label;
};

} // namespace

class TExportDialogTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;
    TBugGroup* group = nullptr;

    TSimulation& simulation() { return window->Simulation(); }
    TfrExport& dialog() { return window->ExportDialog(); }
    // Opens the export from the File menu, works in it, and closes it with OK.
    void exportWith(std::function<void(QWidget&)> work) {
        ClickOnNextDialog("OKButton", [work](QWidget& modal) {
            if (modal.objectName() == "frExport")
                work(modal);
        });
        MenuItem(*window, "ExportMI")->trigger();
        QVERIFY(NoAnswerLeftOver());
    }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
        group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(12, 3));
        simulation().CreateBug(*group, Vector(200, 150));
        NewGroupAccepted(simulation());
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void aSpanOf2Seconds10FramesSaves61FramesPerMember() {
        QTemporaryDir directory;
        const QString path = directory.filePath("prey");
        TGridView before, after;
        QString caption, timeLabel, firstCell, memberCount, saveTitle, suffix;
        QStringList groups, filters;
        exportWith([&](QWidget& modal) {
            caption = modal.windowTitle();
            const auto* groupList = Control<QComboBox>(modal, "GroupComboBox");
            for (int i = 0; i < groupList->count(); ++i)
                groups << groupList->itemText(i);
            memberCount = Control<QLabel>(modal, "MemberCountLabel")->text();
            TypeSpan(modal, "2", "10");
            before = ReadGrid(modal);
            timeLabel = Cell(modal, 0, 27);
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            after = ReadGrid(modal);
            firstCell = Cell(modal, 1, 0);

            AnswerNextModal(
                [](QWidget& next) { return qobject_cast<QFileDialog*>(&next) != nullptr; },
                [&](QWidget& next) {
                    auto& files = static_cast<QFileDialog&>(next);
                    saveTitle = files.windowTitle();
                    filters = files.nameFilters();
                    suffix = files.defaultSuffix();
                    files.findChild<QLineEdit*>("fileNameEdit")->setText(path);
                    static_cast<QDialog&>(files).accept();
                });
            QTest::mouseClick(Control<QPushButton>(modal, "SaveButton"), Qt::LeftButton);
        });
        QCOMPARE(caption, QString("Export kvzMotionData"));
        QCOMPARE(groups, (QStringList{"Group_0", "Group_1"}));
        QCOMPARE(memberCount, QString("2"));
        QCOMPARE(before.rows, 61);
        QCOMPARE(before.columns, 3);
        QCOMPARE(before.headings, (QStringList{"Time", "Member_0", "Member_1"}));
        QVERIFY(!before.saveOn && !before.applyOn);
        QCOMPARE(timeLabel, QString("1:2"));
        QVERIFY(after.saveOn && after.applyOn);
        QCOMPARE(firstCell, QString("12;0;-3;"));
        QCOMPARE(saveTitle, QString("Save Motion Data"));
        QCOMPARE(filters, QStringList{"kova motion data (*.kmd)"});
        QCOMPARE(suffix, QString("kmd"));
        // The clock stayed at the start while the members moved on.
        QVERIFY(simulation().IsAtStart());
        QVERIFY(group->Members[0]->Position[0] > 12);

        QFile file(path + ".kmd");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(file.readAll()).split("\r\n");
        // Group line, two member lines with 61 frame lines each, and the
        // empty rest after the last line end.
        QCOMPARE(lines.size(), 1 + 2 * 62 + 1);
        QCOMPARE(lines[0], QString("Group_0;2;"));
        QCOMPARE(lines[1], QString("Member_0;61;0;60;"));
        QCOMPARE(lines[2], QString("0;12;0;-3;"));
        QVERIFY(lines[62].startsWith("60;"));
        QCOMPARE(lines[63], QString("Member_1;61;0;60;"));
        QVERIFY(lines[64].startsWith("0;200;0;-150;"));
        QCOMPARE(lines.last(), QString());
    }

    void theSpanFrameStaysBelowTheFrameRate() {
        QString frame;
        int rows = 0;
        exportWith([&](QWidget& modal) {
            TypeSpan(modal, "1", "30");
            frame = Control<QLineEdit>(modal, "TotalFrameEdit")->text();
            rows = ReadGrid(modal).rows;
        });
        QCOMPARE(frame, QString("24"));
        QCOMPARE(rows, 50);
    }

    void shrinkingKeepsEveryNthFrameAndChangesDisableSaving() {
        QStringList kept;
        TGridView shrunk, regrouped, respanned, rerecorded;
        exportWith([&](QWidget& modal) {
            TypeSpan(modal, "0", "6");
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            auto* every = Control<QSpinBox>(modal, "ShrinkFrameEdit");
            every->setFocus();
            QTest::keyClick(every, Qt::Key_Up);
            QTest::mouseClick(Control<QPushButton>(modal, "ApplyButton"), Qt::LeftButton);
            shrunk = ReadGrid(modal);
            for (int frame = 0; frame <= 6; ++frame)
                if (!Cell(modal, 2, frame).isEmpty())
                    kept << QString::number(frame);

            Control<QComboBox>(modal, "GroupComboBox")->setCurrentIndex(1);
            regrouped = ReadGrid(modal);
            Control<QComboBox>(modal, "GroupComboBox")->setCurrentIndex(0);
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            rerecorded = ReadGrid(modal);
            TypeSpan(modal, "0", "5");
            respanned = ReadGrid(modal);
        });
        QCOMPARE(kept, (QStringList{"0", "1", "3", "5", "6"}));
        QVERIFY(shrunk.saveOn);
        QVERIFY(!shrunk.applyOn);
        std::ostringstream text;
        dialog().Table().WriteKmd(text);
        // The table after the last change: headings and times, no values.
        QVERIFY(!regrouped.saveOn && !regrouped.applyOn);
        QCOMPARE(regrouped.columns, 2);
        QVERIFY(rerecorded.saveOn && rerecorded.applyOn);
        QVERIFY(!respanned.saveOn && !respanned.applyOn);
        QCOMPARE(respanned.rows, 6);
        QCOMPARE(QString::fromStdString(text.str()),
                 QString("Group_0;2;\r\nMember_0;0;0;5;\r\nMember_1;0;0;5;\r\n"));
    }

    void aCancelledRecordingLeavesNothingToSave() {
        dialog().SetProgressDelay(0);
        TProgressCanceller canceller;
        qApp->installEventFilter(&canceller);
        TGridView grid;
        QString anyValue;
        exportWith([&](QWidget& modal) {
            TypeSpan(modal, "40", "0");
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            grid = ReadGrid(modal);
            for (int frame = 0; frame < grid.rows && anyValue.isEmpty(); ++frame)
                anyValue = Cell(modal, 1, frame);
        });
        qApp->removeEventFilter(&canceller);
        QCOMPARE(canceller.label, QString("Recording motion data..."));
        QCOMPARE(grid.rows, 1001);
        QVERIFY(!grid.saveOn && !grid.applyOn);
        QCOMPARE(anyValue, QString());
    }

    void aSpanBeyondTheTableIsRefused() {
        QString message;
        TGridView grid;
        exportWith([&](QWidget& modal) {
            TypeSpan(modal, "3000", "0");
            AnswerNextMessageBox(QMessageBox::Ok, &message);
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            grid = ReadGrid(modal);
        });
        QVERIFY2(message.contains("65533"), qPrintable(message));
        QCOMPARE(grid.rows, 0);
        QVERIFY(!grid.saveOn);
    }

    void aTableBeyondHalfTheMachinesMemoryIsRefused() {
        // Two members over 61 frames take some 28 KB; pretend 40 KB is all
        // the machine has.
        constexpr std::uint64_t kMemory = 40'000;
        dialog().SetMachineMemory(kMemory);
        QString message;
        TGridView grid;
        exportWith([&](QWidget& modal) {
            TypeSpan(modal, "2", "10");
            AnswerNextMessageBox(QMessageBox::Ok, &message);
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            grid = ReadGrid(modal);
        });
        QString expected;
        try {
            CheckMotionTableMemory(2, 61, kMemory);
        } catch (const EMotionDataError& error) {
            expected = QString::fromStdString(error.what());
        }
        QVERIFY(expected.contains("kova-cli export"));
        QCOMPARE(message, expected);
        QCOMPARE(grid.rows, 0);
        QVERIFY(!grid.saveOn);
        QVERIFY(group->Members[0]->Position == Vector(12, 3));
    }

    void aGroupWithoutMembersExportsItsGroupLine() {
        TGridView grid;
        exportWith([&](QWidget& modal) {
            Control<QComboBox>(modal, "GroupComboBox")->setCurrentIndex(1);
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            grid = ReadGrid(modal);
        });
        QVERIFY(grid.saveOn);
        QCOMPARE(grid.headings, (QStringList{"Time", ""}));
        std::ostringstream text;
        dialog().Table().WriteKmd(text);
        QCOMPARE(QString::fromStdString(text.str()), QString("Group_1;0;\r\n"));

        // Opening again rebuilds the group list and forgets the recording.
        NewGroupAccepted(simulation());
        QStringList groups;
        exportWith([&](QWidget& modal) {
            grid = ReadGrid(modal);
            const auto* groupList = Control<QComboBox>(modal, "GroupComboBox");
            for (int i = 0; i < groupList->count(); ++i)
                groups << groupList->itemText(i);
        });
        QCOMPARE(groups, (QStringList{"Group_0", "Group_1", "Group_2"}));
        QVERIFY(!grid.saveOn);
    }

    void fileDialogsStartInAFolderWithAnEmptyName() {
        // A working folder without a "simulations" folder, and a simulation
        // opened from a folder of its own.
        QTemporaryDir directory;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(directory.path());
        QVERIFY(QDir(directory.path()).mkdir("work"));
        const QString file = directory.filePath("work/meadow.kvz");
        SaveSimulationFile(simulation(), file.toStdString());
        QVERIFY(window->OpenFile(file));

        const auto isFileDialog = [](QWidget& next) {
            return qobject_cast<QFileDialog*>(&next) != nullptr;
        };
        QString saveFolder, saveName;
        exportWith([&](QWidget& modal) {
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            AnswerNextModal(isFileDialog, [&](QWidget& next) {
                auto& files = static_cast<QFileDialog&>(next);
                saveFolder = QFileInfo(files.directory().absolutePath()).canonicalFilePath();
                saveName = files.findChild<QLineEdit*>("fileNameEdit")->text();
                files.reject();
            });
            QTest::mouseClick(Control<QPushButton>(modal, "SaveButton"), Qt::LeftButton);
        });

        window = StartProgram();
        QString openFolder, openName;
        AnswerNextModal(isFileDialog, [&](QWidget& next) {
            auto& files = static_cast<QFileDialog&>(next);
            openFolder = files.directory().absolutePath();
            openName = files.findChild<QLineEdit*>("fileNameEdit")->text();
            files.reject();
        });
        MenuItem(*window, "OpenMI")->trigger();
        QDir::setCurrent(previous);

        QCOMPARE(saveFolder, QFileInfo(directory.filePath("work")).canonicalFilePath());
        QCOMPARE(saveName, QString());
        QVERIFY(QFileInfo(openFolder).isDir());
        QCOMPARE(openName, QString());
    }

    void aSimulationWithoutGroupsRecordsNothingButMaySaveIt() {
        window = StartProgram();
        TGridView before;
        TGridView after;
        exportWith([&](QWidget& modal) {
            before = ReadGrid(modal);
            QTest::mouseClick(Control<QPushButton>(modal, "RecordButton"), Qt::LeftButton);
            after = ReadGrid(modal);
        });
        QCOMPARE(before.headings, (QStringList{"Time", ""}));
        QCOMPARE(before.rows, 1);
        QVERIFY(!before.saveOn && !before.applyOn);
        QCOMPARE(after.headings, before.headings);
        QCOMPARE(after.rows, before.rows);
        QVERIFY(after.saveOn && after.applyOn);
    }
};

int RunExportDialogTests(int argc, char** argv) {
    TExportDialogTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ExportDialogTests.moc"
