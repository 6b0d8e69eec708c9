// The exercise selection window on a generated library of 5,000 exercises: start-up to
// the main window being ready, then at the size of a maximised window on two screens the
// window built (pool and grid), a filter click until the new pool's pictures in sight are
// painted, one page of scrolling, the decode of the 15 pictures in sight (the floor of a
// click), undo and redo of a drop, and the peak memory of this process.
#include "AppContext.h"
#include "ChoiceGrid.h"
#include "Database.h"
#include "LibraryCache.h"
#include "ScaledPicture.h"
#include "frmExerciseSelection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace tramelle;

namespace {

constexpr int LibrarySize = 5000;

// The child area of the maximised main window (menu, toolbar and status bar taken off).
const std::pair<const char*, QSize> ChildSizes[] = {
    {"1280x1024", QSize(1280, 916)},
    {"1920x1080", QSize(1920, 972)},
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Elapsed milliseconds; the processor time of this thread goes to *cpu when given (on a
// busy machine the elapsed time also counts other programs' turns).
double TimeMs(const std::function<void()>& work, std::vector<double>* cpu = nullptr)
{
    QElapsedTimer timer;
    const double cpuStart = ThreadCpuMs();
    timer.start();
    work();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (cpu)
        cpu->push_back(ThreadCpuMs() - cpuStart);
    return elapsed;
}

QByteArray PeakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return "unknown";
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed();
    }
    return "unknown";
}

// One normal start of the program on the large library, through the start-up benchmark's
// child mode: milliseconds until its main window is ready, or -1.
double TimeStart(const QString& folder, const QString& settings)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QStringLiteral(TRAMELLE_BENCH_STARTUP),
                {QStringLiteral("--child"), folder, settings});
    QByteArray line;
    while (!line.contains('\n') && child.waitForReadyRead(60000))
        line += child.readAll();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    child.waitForFinished(60000);
    return line.startsWith("ready") ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("app"));
    const QString share = QStringLiteral(TRAMELLE_SHARE);
    const int made = QProcess::execute(
        QStringLiteral(TRAMELLE_MEDIAGEN),
        {QStringLiteral("--large-library"), QString::number(LibrarySize), QStringLiteral("--out"),
         folder, QStringLiteral("--media"), share + QStringLiteral("/media"),
         QStringLiteral("--delivered"), share + QStringLiteral("/delivered")});
    if (made != 0) {
        std::printf("could not build the large library (%d)\n", made);
        return 1;
    }

    std::vector<double> starts;
    for (int i = 0; i < 5; ++i)
        starts.push_back(TimeStart(folder, dir.filePath(QStringLiteral("settings.ini"))));
    if (*std::min_element(starts.begin(), starts.end()) < 0)
        std::printf("start-up on the large library failed\n");
    else
        std::printf("start-up, %d exercises, median of 5:   %7.1f ms   (target 500 ms)\n",
                    LibrarySize, Median(starts));

    AppContext ctx(folder);
    try {
        OpenDatabases(ctx);
    } catch (const std::exception& e) {
        std::printf("cannot open the large library: %s\n", e.what());
        return 1;
    }
    ctx.Settings.IconFolder = folder + QStringLiteral("/ICON/");

    // The window as start-up builds it, then opened for work and painted, at the size of
    // a maximised main window's child area on two screens.
    ctx.Settings.PictureFolder = folder + QStringLiteral("/Picture/");
    for (const auto& [screen, child] : ChildSizes) {
        std::unique_ptr<frmExerciseSelection> w;
        const double build = TimeMs([&] {
            w = std::make_unique<frmExerciseSelection>(ctx);
            w->SetSelectionMode(frmExerciseSelection::ModeProgram);
            w->resize(child);
            w->show();
            w->InitExerciseSelection(false);
            w->repaint();
        });
        const QSize cell = w->Grid()->PictureRect(0).size();
        std::printf("\n-- screen %s, window %dx%d, layout scale %.2f, cell %dx%d --\n", screen,
                    child.width(), child.height(), w->LayoutScale(), cell.width(), cell.height());
        std::printf("window ready (pool of %d, grid):   %7.1f ms   (target 300 ms)\n",
                    int(ctx.Library.LibraryCount), build);

        // Filter clicks: each joint in turn, then "(All)" again; every click is a new pool.
        auto* joints = w->findChild<QListWidget*>(QStringLiteral("ViewList_0"));
        std::vector<double> narrow, narrowCpu, whole, wholeCpu;
        for (int round = 0; round < 3; ++round) {
            for (int row = 1; row < joints->count(); ++row) {
                for (int r : {row, 0}) {
                    std::vector<double>& cpu = r ? narrowCpu : wholeCpu;
                    (r ? narrow : whole)
                        .push_back(TimeMs(
                            [&] {
                                joints->setCurrentRow(r);
                                w->repaint();
                            },
                            &cpu));
                }
            }
        }
        std::printf("filter click to one joint, median of %d: %7.1f ms (processor %.1f ms)   "
                    "(target 100 ms)\n",
                    int(narrow.size()), Median(narrow), Median(narrowCpu));
        std::printf("filter click back to (All), median of %d: %6.1f ms (processor %.1f ms)   "
                    "(target 100 ms)\n",
                    int(whole.size()), Median(whole), Median(wholeCpu));

        // Pages of scrolling (two rows, the large change) down the whole library.
        auto* scroll = w->findChild<QScrollBar*>(QStringLiteral("VScroll1"));
        std::vector<double> pages, pagesCpu;
        for (int i = 0; i < 40; ++i) {
            pages.push_back(TimeMs(
                [&] {
                    scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
                    w->repaint();
                },
                &pagesCpu));
        }
        std::printf(
            "scroll one page, median of %d:     %7.1f ms (processor %.1f ms)   (target 30 ms)\n",
            int(pages.size()), Median(pages), Median(pagesCpu));

        // The floor of a click: the 15 pictures in sight decoded to the cell.
        std::vector<double> decodes;
        for (int run = 0; run < 11; ++run) {
            decodes.push_back(TimeMs([&] {
                for (int i = 0; i < 15; ++i) {
                    const LibraryEntry& e = ctx.Library.Entries.at(i + 15 * run);
                    LoadScaledPicture(ctx.Settings.PictureFolder, IconSourcePicture(e), cell);
                }
            }));
        }
        std::printf("decode 15 pictures, median of %d:  %7.1f ms\n", int(decodes.size()),
                    Median(decodes));

        // Undo of a drop in front of 19 entries (every slot moves back) until the program
        // panel is painted, the undo alone, and redo (which reads the new slot's picture).
        for (int i = ctx.Program.EntryCount; i < MaxProgramEntries - 1; ++i)
            w->DropSelectedEx(MaxProgramEntries - 1, {DragSource::Choice, i});
        QWidget* panel = w->findChild<QWidget*>(QStringLiteral("TargetFrame"));
        std::vector<double> undos, undosCpu, bare, redos;
        for (int run = 0; run < 21; ++run) {
            w->DropSelectedEx(0, {DragSource::Choice, 100 + run});
            bare.push_back(TimeMs([&] { w->History().Undo(); }));
            w->History().Redo();
            w->repaint();
            undos.push_back(TimeMs(
                [&] {
                    w->History().Undo();
                    panel->repaint();
                },
                &undosCpu));
            redos.push_back(TimeMs([&] {
                w->History().Redo();
                panel->repaint();
            }));
            w->History().Undo();
        }
        std::printf("undo a drop, painted, median of %d: %6.1f ms (processor %.1f ms)   "
                    "(target 5 ms)\n",
                    int(undos.size()), Median(undos), Median(undosCpu));
        std::printf("undo a drop, program only:        %7.2f ms\n", Median(bare));
        std::printf("redo a drop, painted, median of %d: %6.1f ms\n", int(redos.size()),
                    Median(redos));
    }
    std::printf("peak memory (VmHWM):               %s   (target 250 MB)\n",
                PeakMemory().constData());
    CloseDatabases(ctx);
    return 0;
}
