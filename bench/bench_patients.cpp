// Times opening the patient list and the stored-program list (all patients) over
// 10,000 patients and 50,000 stored programs in a temporary application folder.
#include "AppContext.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "PatientStore.h"
#include "PatientWindows.h"
#include "Transaction.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <time.h>
#include <vector>

using namespace tramelle;

namespace {

constexpr int Patients = 10000;
constexpr int Programs = 50000;
constexpr int Runs = 5;

void Fill(const QSqlDatabase& db)
{
    const QStringList last =
        QStringLiteral("Smith O'Brien Young Müller Adams Nguyen García Brown Kowalski Lee")
            .split(QLatin1Char(' '));
    const QStringList first =
        QStringLiteral("Ann Bo Zoë Jo Al Mia Ravi Léa").split(QLatin1Char(' '));
    QRandomGenerator rng(42);
    Transaction tx(db);
    QSqlQuery p(db);
    p.prepare(QStringLiteral(
        "INSERT INTO Patient (LastName, FirstName, ID, FullName) VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < Patients; ++i) {
        const QString l = last.at(rng.bounded(last.size())) + QString::number(rng.bounded(1000));
        const QString f = first.at(rng.bounded(first.size()));
        p.addBindValue(l);
        p.addBindValue(f);
        p.addBindValue(QStringLiteral("P-%1").arg(rng.bounded(100000)));
        p.addBindValue(QString(l + QStringLiteral(", ") + f));
        if (!p.exec())
            throw DbError(p.lastError().text());
    }
    QSqlQuery inv(db);
    inv.prepare(QStringLiteral(
        "INSERT INTO Invoice (PatientID, Date, Provider) VALUES (?, ?, 'Provider')"));
    const QDateTime start(QDate(2015, 1, 1), QTime(0, 0));
    for (int i = 0; i < Programs; ++i) {
        inv.addBindValue(1 + rng.bounded(Patients));
        inv.addBindValue(start.addSecs(rng.bounded(3600 * 24 * 3650)).toString(Qt::ISODate));
        if (!inv.exec())
            throw DbError(inv.lastError().text());
    }
    tx.Commit();
}

// CPU time of this thread: on a busy machine the wall clock also counts other programs.
double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Timing
{
    double wall = 0;
    double cpu = 0;
};

// From the command until the window is shown and painted.
Timing TimeOpen(const std::function<QDialog*()>& open, int* rows)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = CpuMs();
    QDialog* d = open();
    d->repaint();
    QApplication::processEvents();
    const Timing t{timer.nsecsElapsed() / 1e6, CpuMs() - cpu};
    *rows = d->findChild<QTreeView*>(QStringLiteral("lstPatients"))->model()->rowCount();
    delete d;
    return t;
}

void Report(const char* what, const std::function<QDialog*()>& open)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    int rows = 0;
    for (int i = 0; i < Runs; ++i) {
        const Timing t = TimeOpen(open, &rows);
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-38s %6d rows: median %6.1f ms (cpu %6.1f ms), worst %6.1f ms; target < 200 ms\n",
                what, rows, wall[wall.size() / 2], cpu[cpu.size() / 2], wall.back());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("VelmoraBench"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QByteArray share = qgetenv("TRAMELLE_TEST_SHARE");
    if (!share.isEmpty())
        SetDeliveredShareFolder(QString::fromLocal8Bit(share));

    QTemporaryDir dir;
    AppContext ctx(dir.path());
    try {
        InstallDeliveredFiles(dir.path(), DeliveredFilesFolder());
        OpenDatabases(ctx);
        QElapsedTimer fill;
        fill.start();
        Fill(ctx.Db.MainDb());
        std::printf("filled %d patients and %d stored programs in %lld ms\n", Patients, Programs,
                    static_cast<long long>(fill.elapsed()));

        Report("open patient list (Select a Patient)", [&] {
            QDialog* d = OpenSelectPatient(ctx, nullptr);
            d->setResult(0);
            return d;
        });
        ctx.Program.PatientID.reset();
        Report("open program list (all patients)", [&] { return OpenListPrograms(ctx, nullptr); });

        // Where the program list's time goes, for reference.
        {
            const double cpu = CpuMs();
            const std::vector<ProgramRow> rows = ReadProgramRows(ctx.Db.MainDb(), std::nullopt);
            std::printf("  of which reading the %zu rows: cpu %6.1f ms\n", rows.size(),
                        CpuMs() - cpu);
        }

        // Sorting the full program list by a column header, for reference.
        QDialog* d = OpenListPrograms(ctx, nullptr);
        auto* list = d->findChild<QTreeView*>(QStringLiteral("lstPatients"));
        for (int column : {2, 0, 1}) {
            const double cpu = CpuMs();
            list->sortByColumn(column, Qt::AscendingOrder);
            list->repaint();
            std::printf("sort the program list by column %d: cpu %6.1f ms\n", column,
                        CpuMs() - cpu);
        }
        delete d;
        CloseDatabases(ctx);
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", e.what());
        return 1;
    }
    return 0;
}
