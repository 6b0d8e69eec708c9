// The library list on a generated library of 5,000 exercises: opening the window, sorting
// by each column, and "Exit" (close and re-open the databases, rebuild the selection
// window's library).
#include "AppContext.h"
#include "Database.h"
#include "frmExerciseSelection.h"
#include "frmLibrary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace tramelle;

namespace {

constexpr int LibrarySize = 5000;

double TimeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("app"));
    const QString share = QStringLiteral(TRAMELLE_SHARE);
    if (QProcess::execute(QStringLiteral(TRAMELLE_MEDIAGEN),
                          {QStringLiteral("--large-library"), QString::number(LibrarySize),
                           QStringLiteral("--out"), folder, QStringLiteral("--media"),
                           share + QStringLiteral("/media"), QStringLiteral("--delivered"),
                           share + QStringLiteral("/delivered")}) != 0) {
        std::printf("could not build the large library\n");
        return 1;
    }
    AppContext ctx(folder);
    try {
        OpenDatabases(ctx);
    } catch (const std::exception& e) {
        std::printf("cannot open the large library: %s\n", e.what());
        return 1;
    }
    ctx.Settings.IconFolder = folder + QStringLiteral("/ICON/");
    std::unique_ptr<frmExerciseSelection> selection = std::make_unique<frmExerciseSelection>(ctx);

    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
        opens.push_back(TimeMs([&] {
            frmLibrary library(ctx, nullptr);
            library.show();
            library.repaint();
        }));
    }
    std::printf("open the library list, %d exercises, median of 5: %7.1f ms   (target 150 ms)\n",
                LibrarySize, Median(opens));

    frmLibrary library(ctx, nullptr);
    library.show();
    auto* view = library.findChild<QTreeView*>(QStringLiteral("ListView1"));
    std::vector<double> sorts;
    for (int column : {1, 2, 3, 4, 0, 1, 0}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder})
            sorts.push_back(TimeMs([&] {
                view->sortByColumn(column, order);
                view->repaint();
            }));
    }
    std::printf(
        "sort by a column, median of %zu / slowest:        %7.1f / %.1f ms   (target 50 ms)\n",
        sorts.size(), Median(sorts), *std::max_element(sorts.begin(), sorts.end()));

    std::vector<double> exits;
    for (int i = 0; i < 5; ++i) {
        auto* exiting = new frmLibrary(ctx, [&] {
            selection.reset();
            selection = std::make_unique<frmExerciseSelection>(ctx);
        });
        exiting->show();
        auto* exit = exiting->findChild<QPushButton*>(QStringLiteral("cmdExit"));
        exits.push_back(TimeMs([&] { exit->click(); }));
        delete exiting;
    }
    std::printf(
        "Exit (close, re-open, rebuild selection), median of 5: %7.1f ms   (target 400 ms)\n",
        Median(exits));
    return 0;
}
