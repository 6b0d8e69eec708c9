// Times opening the patient list and the stored-program list (all patients) over
// 10,000 patients and 50,000 stored programs in a temporary application folder.
#include "AppContext.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
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
#include <vector>

using namespace tramelle;

namespace {

constexpr int Patients = 10000;
constexpr int Programs = 50000;
constexpr int Runs = 5;

void Fill(const QSqlDatabase& db)
{
    const QStringList last = {"Smith", "O'Brien", "Young", "Müller", "Adams", "Nguyen", "García",
                              "Brown", "Kowalski", "Lee"};
    const QStringList first = {"Ann", "Bo", "Zoë", "Jo", "Al", "Mia", "Ravi", "Léa"};
    QRandomGenerator rng(42);
    Transaction tx(db);
    QSqlQuery p(db);
    p.prepare("INSERT INTO Patient (LastName, FirstName, ID, FullName) VALUES (?, ?, ?, ?)");
    for (int i = 0; i < Patients; ++i) {
        const QString l = last.at(rng.bounded(last.size())) + QString::number(rng.bounded(1000));
        const QString f = first.at(rng.bounded(first.size()));
        p.addBindValue(l);
        p.addBindValue(f);
        p.addBindValue(QStringLiteral("P-%1").arg(rng.bounded(100000)));
        p.addBindValue(l + ", " + f);
        if (!p.exec())
            throw DbError(p.lastError().text());
    }
    QSqlQuery inv(db);
    inv.prepare("INSERT INTO Invoice (PatientID, Date, Provider) VALUES (?, ?, 'Provider')");
    const QDateTime start(QDate(2015, 1, 1), QTime(0, 0));
    for (int i = 0; i < Programs; ++i) {
        inv.addBindValue(1 + rng.bounded(Patients));
        inv.addBindValue(start.addSecs(rng.bounded(3600 * 24 * 3650)).toString(Qt::ISODate));
        if (!inv.exec())
            throw DbError(inv.lastError().text());
    }
    tx.Commit();
}

// Milliseconds from the command until the window is shown and painted.
double TimeOpen(const std::function<QDialog*()>& open, int* rows)
{
    QElapsedTimer timer;
    timer.start();
    QDialog* d = open();
    d->repaint();
    QApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    *rows = d->findChild<QTreeView*>("lstPatients")->model()->rowCount();
    delete d;
    return ms;
}

void Report(const char* what, const std::function<QDialog*()>& open)
{
    std::vector<double> times;
    int rows = 0;
    for (int i = 0; i < Runs; ++i)
        times.push_back(TimeOpen(open, &rows));
    std::sort(times.begin(), times.end());
    std::printf("%-40s %6d rows  median %7.1f ms  worst %7.1f ms  (target < 200 ms)\n", what, rows,
                times[times.size() / 2], times.back());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Velmora");
    QApplication::setApplicationName("VelmoraBench");
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

        // Sorting the full program list by a column header, for reference.
        QDialog* d = OpenListPrograms(ctx, nullptr);
        auto* list = d->findChild<QTreeView*>("lstPatients");
        for (int column : {2, 0, 1}) {
            QElapsedTimer t;
            t.start();
            list->sortByColumn(column, Qt::AscendingOrder);
            list->repaint();
            std::printf("sort program list by column %d                       %7.1f ms\n", column,
                        t.nsecsElapsed() / 1e6);
        }
        delete d;
        CloseDatabases(ctx);
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", e.what());
        return 1;
    }
    return 0;
}
