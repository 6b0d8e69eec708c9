// Times compaction against the sqlite3 shell's VACUUM INTO of the same file, repair of a
// file with 1 % of its pages damaged, and the upgrade of an oldest-version main file,
// each on 50,000 stored programs of ten exercises (about 100 MB).
//
//   bench_maintenance [--upgrade-only] [--statements] [programs]
//
// --statements also prints every upgrade statement that took over 0.1 s (a stamp's figure
// includes the commit of its step).
#include "Compaction.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "Repair.h"
#include "SafeFiles.h"
#include "Upgrade.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace tramelle;

namespace {

void Fill(const QString& path, int programs, bool oldest)
{
    ScopedDb db(path, false);
    Exec(db.Db(), QStringLiteral("BEGIN"));
    QSqlQuery patient(db.Db()), invoice(db.Db()), exercise(db.Db()), item(db.Db());
    patient.prepare(QStringLiteral("INSERT INTO Patient (PatientID, FullName, FirstName, LastName) "
                                   "VALUES (?, ?, 'Jane', 'Doe')"));
    invoice.prepare(QStringLiteral(
        "INSERT INTO Invoice (InvoiceID, PatientID, \"Date\", Provider, ShipAddr) VALUES (?, ?, "
        "'2026-01-01T00:00:00', 'Dr. Provider', '12 Main Street, Springfield')"));
    exercise.prepare(QStringLiteral(
        "INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID, code, \"Desc\", AbbrevDesc, "
        "Reps, "
        "Hold, Sets, Icon, Movie, Picture0, Picture1, Picture2, Instruct0, Instruct1) "
        "VALUES (?, ?, ?, ?, ?, 'Knee bend', 10, 5, 3, ?, ?, ?, ?, ?, ?, ?)"));
    item.prepare(
        QStringLiteral("INSERT INTO Items (InvoiceID, PartNumber, Description, Qty, Price, "
                       "RankOnOrder) VALUES (?, 'T-100', 'Video tape', 1, 199500, 0)"));
    for (int p = 1; p <= programs; ++p) {
        patient.addBindValue(p);
        patient.addBindValue(QStringLiteral("Doe %1, Jane").arg(p));
        patient.exec();
        invoice.addBindValue(p);
        invoice.addBindValue(p);
        invoice.exec();
        for (int e = 0; e < 10; ++e) {
            const int id = 1 + (p * 7 + e) % 240;
            const QString ext = oldest ? QStringLiteral("BMP") : QStringLiteral("JPG");
            const QVariantList v{
                p,
                e,
                id,
                QString::number(id),
                QStringLiteral("Bend the knee slowly and hold it bent, exercise %1").arg(id),
                QStringLiteral("%1.%2").arg(id).arg(ext),
                QStringLiteral("%1.AVI").arg(id),
                QStringLiteral("%1_1.%2").arg(id).arg(ext),
                QStringLiteral("%1_2.%2").arg(id).arg(ext),
                QStringLiteral("%1_3.%2").arg(id).arg(ext),
                QStringLiteral("Keep the back straight, breathe out when lifting."),
                QStringLiteral("Lower slowly.")};
            for (int i = 0; i < v.size(); ++i)
                exercise.bindValue(i, v.at(i));
            if (!exercise.exec())
                throw DbError(QStringLiteral("fill failed"));
        }
        item.addBindValue(p);
        item.exec();
    }
    Exec(db.Db(), QStringLiteral("COMMIT"));
}

double Seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool upgradeOnly = args.removeAll(QStringLiteral("--upgrade-only")) > 0;
    const bool statements = args.removeAll(QStringLiteral("--statements")) > 0;
    const int programs = args.isEmpty() ? 50000 : args.first().toInt();
    QTemporaryDir dir;
    const QString path = JoinPath(dir.path(), MainDbFileName);
    const QString temp = JoinPath(dir.path(), CompactTempFileName);
    try {
        if (!upgradeOnly) {
            CreateDatabaseFile(path, DbFile::Main);
            Fill(path, programs, false);
            std::printf("main file: %d programs, %.1f MB\n", programs,
                        QFileInfo(path).size() / 1e6);

            // The shell and the command, twice each, alternating; the best of each counts.
            double shell = 1e9, ours = 1e9;
            for (int round = 0; round < 2; ++round) {
                const QString out = JoinPath(dir.path(), QStringLiteral("shell.MDB"));
                QFile::remove(out);
                QElapsedTimer t;
                t.start();
                QProcess::execute(QStringLiteral("sqlite3"),
                                  {path, QStringLiteral("VACUUM INTO '%1'").arg(out)});
                shell = std::min(shell, Seconds(t));
                t.restart();
                CompactDatabaseFile(path, temp);
                ours = std::min(ours, Seconds(t));
            }
            std::printf(
                "compaction: %.2f s, sqlite3 VACUUM INTO: %.2f s, ratio %.2f (target <= 1.2)\n",
                ours, shell, ours / shell);

            // 1 % of the pages (never the first) overwritten with noise.
            const QString damaged = JoinPath(dir.path(), QStringLiteral("damaged.MDB"));
            QFile::copy(path, damaged);
            {
                QFile f(damaged);
                f.open(QIODevice::ReadWrite);
                const qint64 pages = f.size() / 4096;
                for (qint64 i = 0; i < pages / 100; ++i) {
                    QByteArray noise(4096, '\0');
                    for (char& c : noise)
                        c = char(QRandomGenerator::global()->bounded(256));
                    f.seek((2 + QRandomGenerator::global()->bounded(pages - 2)) * 4096);
                    f.write(noise);
                }
            }
            // What reading each table by single keys finds.
            qint64 readable = 0;
            {
                ScopedDb db(damaged, true);
                for (const auto& [table, upTo] :
                     {std::pair{QStringLiteral("Patient"), qint64(programs)},
                      std::pair{QStringLiteral("Invoice"), qint64(programs)},
                      std::pair{QStringLiteral("Exercise"), qint64(programs) * 10},
                      std::pair{QStringLiteral("Items"), qint64(programs)}}) {
                    QSqlQuery q(db.Db());
                    q.prepare(QStringLiteral("SELECT * FROM \"%1\" WHERE rowid = ?").arg(table));
                    for (qint64 k = 1; k <= upTo; ++k) {
                        q.bindValue(0, k);
                        if (q.exec() && q.next())
                            ++readable;
                    }
                }
            }
            QElapsedTimer t;
            t.start();
            const RepairResult r = RepairDatabaseFile(damaged, temp);
            const double repair = Seconds(t);
            qint64 read = 0, copied = 0, orphans = 0;
            for (const TableRepair& table : r.Tables) {
                if (table.Table == QLatin1String("Protocol") ||
                    table.Table == QLatin1String("ProtocolExercise") ||
                    table.Table == QLatin1String("Clinic"))
                    continue;
                read += table.Read;
                copied += table.Copied;
                orphans += table.Orphans;
            }
            std::printf("repair (1 %% of pages damaged): %.2f s; rows read %lld = copied %lld + "
                        "orphans %lld; "
                        "rows readable by single keys %lld\n",
                        repair, qlonglong(read), qlonglong(copied), qlonglong(orphans),
                        qlonglong(readable));
            std::printf("%s\n", qPrintable(RepairReportText(r).replace(QStringLiteral("\r\n"),
                                                                       QStringLiteral("\n  "))));
        }

        // Upgrade of an oldest-version file of the same size.
        const QString old = JoinPath(dir.path(), QStringLiteral("old/") + MainDbFileName);
        QDir().mkpath(JoinPath(dir.path(), QStringLiteral("old")));
        CreateOldDatabaseFile(old, DbFile::Main, OldestSchemaVersion);
        Fill(old, programs, true);
        UpgradeOptions options;
        options.UpdateFolders = {DeliveredFilesFolder()};
        // Each step's share, printed as the next one starts.
        QElapsedTimer step;
        QString running;
        const auto finishStep = [&] {
            if (!running.isEmpty())
                std::printf("  %s: %.2f s\n", qPrintable(running), Seconds(step));
        };
        options.Status = [&](const QString& text) {
            finishStep();
            running = text;
            step.restart();
        };
        QElapsedTimer statement;
        QString last;
        options.BeforeStatement = [&](const QString& sql) {
            if (!last.isEmpty() && Seconds(statement) > 0.1 && statements)
                std::printf("    %.2f s %s\n", Seconds(statement), qPrintable(last.left(70)));
            last = sql;
            statement.restart();
        };
        QElapsedTimer t;
        t.start();
        const FileUpgradeResult u = UpgradeDatabaseFile(old, DbFile::Main, options);
        finishStep();
        std::printf(
            "upgrade of a %s main file (%.1f MB) to %s: %.2f s (target < 10 s), %lld steps\n",
            qPrintable(OldestSchemaVersion), QFileInfo(u.BackupPath).size() / 1e6,
            qPrintable(CurrentSchemaVersion), Seconds(t), qlonglong(u.StepsRun.size()));
    } catch (const DbError& e) {
        std::fprintf(stderr, "bench_maintenance: %s\n", e.what());
        return 1;
    } catch (const MaintenanceFailure& e) {
        std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(e.errors().first().description));
        return 1;
    }
    return 0;
}
