// Protocols at a clinic's scale: 500 stored protocols of 20 exercises each. Times opening
// "Protocol Selection" (the list filled), choosing a protocol (its exercises listed) and
// applying it to the program (read whole, put into the slots, slots shown).
#include "AppContext.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "ProtocolStore.h"
#include "Transaction.h"
#include "frmExerciseSelection.h"
#include "frmSelectProtocol.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tramelle;

namespace {

constexpr int Protocols = 500;
constexpr int Rounds = 30;

double TimeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

void Report(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%-44s median %6.2f ms   worst %6.2f ms   (target 30 ms)\n", what,
                values[values.size() / 2], values.back());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppContext ctx(dir.path());
    try {
        InstallDeliveredFiles(dir.path(), DeliveredFilesFolder());
        OpenDatabases(ctx);
        const QSqlDatabase db = ctx.Db.MainDb();
        if (const Outcome loaded = LoadLibraryCache(ctx); !loaded)
            qFatal("%s", qPrintable(loaded.Reason()));
        ProgramState p;
        for (int i = 0; i < MaxProgramEntries; ++i)
            p.Entries[static_cast<size_t>(p.EntryCount++)] =
                ctx.Library.Entries.at(i % ctx.Library.LibraryCount);
        for (int i = 0; i < Protocols; ++i)
            SaveProtocolAs(
                db,
                QStringLiteral("Protocol %1").arg((i * 7919) % Protocols, 3, 10, QLatin1Char('0')),
                p);
    } catch (const DbError& e) {
        std::printf("cannot build the protocols: %s\n", qPrintable(e.message()));
        return 1;
    }

    frmExerciseSelection selection(ctx);
    selection.SetSelectionMode(frmExerciseSelection::Mode::Program);
    selection.show();
    selection.InitExerciseSelection(false);
    QCoreApplication::processEvents();

    std::vector<double> open, choose, apply;
    for (int round = 0; round < Rounds; ++round) {
        frmSelectProtocol* form = nullptr;
        open.push_back(TimeMs([&] {
            form = new frmSelectProtocol(ctx, &selection, {});
            form->show();
            QCoreApplication::processEvents();
        }));
        auto* combo = form->findChild<QComboBox*>(QStringLiteral("cboProtocol"));
        choose.push_back(TimeMs([&] {
            combo->setCurrentIndex(1 + (round * 37) % Protocols);
            QCoreApplication::processEvents();
        }));
        apply.push_back(TimeMs([&] {
            form->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_0"))->click();
            selection.repaint();
        }));
        if (ctx.Program.EntryCount != MaxProgramEntries) {
            std::printf("the protocol was not applied\n");
            return 1;
        }
        delete form;
    }
    std::printf("%d protocols of %d exercises, %d rounds\n", Protocols, MaxProgramEntries, Rounds);
    Report("open \"Protocol Selection\" (list filled)", open);
    Report("choose a protocol (exercises listed)", choose);
    Report("apply it (read, slots filled and painted)", apply);
    return 0;
}
