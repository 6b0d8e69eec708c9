// Times the library cache and a 20-exercise save and load, on the delivered sample
// library and on a generated library of 5,000 exercises, with the durable settings of
// every connection (WAL, full sync).
#include "AppContext.h"
#include "Database.h"
#include "DbError.h"
#include "LibraryCache.h"
#include "Paths.h"
#include "ProgramStore.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace tramelle;

namespace {

constexpr int Runs = 31;

double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Medians of the elapsed time and of the processor time of this thread: on a busy
// machine the elapsed time also counts the time other programs had the processor.
struct Timing
{
    double Wall = 0;
    double Cpu = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Timing MedianMs(const std::function<void()>& work)
{
    work(); // warm the caches once
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMs();
        timer.start();
        work();
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(ThreadCpuMs() - cpuStart);
    }
    return {Median(wall), Median(cpu)};
}

void GenerateLibrary(const QString& path, int rows)
{
    const QString name = QStringLiteral("bench-generate");
    {
        QSqlDatabase db = OpenConnection(path, name);
        Transaction transaction(db);
        Exec(db, QStringLiteral("DELETE FROM ExerciseLibrary"));
        const QStringList joints =
            QStringLiteral("Ankle Knee Hip Shoulder Elbow Wrist Neck Back").split(QLatin1Char(' '));
        const QStringList motions =
            QStringLiteral("Flexion Extension Abduction Rotation").split(QLatin1Char(' '));
        const QStringList types =
            QStringLiteral("Strength Stretch ROM Balance").split(QLatin1Char(' '));
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "INSERT INTO ExerciseLibrary (ExerciseID, code, Desc, AbbrevDesc, Joint, Motion, Type, "
            "Reps, Hold, Sets, Movie, Icon, Picture0, Picture1, Picture2, Instruct0, Instruct1, "
            "Instruct2, HasVideo, VideoReps, VideoHold, VideoSets) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, 10, 5, 2, ?, ?, ?, ?, ?, ?, ?, ?, ?, 10, 5, 2)"));
        for (int id = 1; id <= rows; ++id) {
            const QVariantList values{
                id,
                QStringLiteral("E%1").arg(id, 5, 10, QLatin1Char('0')),
                QStringLiteral("Generated exercise number %1 with a longer description").arg(id),
                QStringLiteral("Exercise %1").arg((id * 7919) % rows),
                joints[id % joints.size()],
                motions[(id / 8) % motions.size()],
                types[(id / 32) % types.size()],
                QStringLiteral("%1.AVI").arg(id),
                QStringLiteral("%1.JPG").arg(id),
                QStringLiteral("%1_1.JPG").arg(id),
                QStringLiteral("%1_2.JPG").arg(id),
                QStringLiteral("%1_3.JPG").arg(id),
                QStringLiteral("Stand tall and breathe out as you move."),
                QStringLiteral("Move slowly through the whole range."),
                QStringLiteral("Stop if it hurts."),
                id % 3 == 0 ? 1 : 0};
            for (int v = 0; v < values.size(); ++v)
                q.bindValue(v, values[v]);
            ThrowIfFailed(q, q.exec());
        }
        q.finish();
        transaction.Commit();
    }
    CloseConnection(name);
}

void Measure(const char* label, const QString& folder)
{
    AppContext ctx(folder);
    OpenDatabases(ctx);
    const auto load = [](const Outcome& loaded) {
        if (!loaded)
            qFatal("%s", qPrintable(loaded.Reason()));
    };
    load(LoadLibraryCache(ctx));
    const int rows = ctx.Library.LibraryCount;

    const Timing whole = MedianMs([&] { load(LoadLibraryCache(ctx)); });
    ctx.Db.LibraryRecordset.Filter =
        LibraryFilter{{QStringLiteral("Knee")}, {QStringLiteral("Flexion")}, {}};
    const Timing filtered = MedianMs([&] { load(LoadLibraryCacheFiltered(ctx)); });
    const int filteredRows = ctx.Library.LibraryCount;
    ctx.Db.LibraryRecordset.Filter = LibraryFilter{};
    load(LoadLibraryCache(ctx));

    // A patient with a 20-exercise program and a full order, stored once; each run
    // replaces it and reads it back.
    const qint32 patient =
        Exec(ctx.Db.MainDb(),
             QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Bench, Mark')"))
            .lastInsertId()
            .toInt();
    ProgramState& p = ctx.Program;
    p.PatientID = patient;
    p.PatientName = QStringLiteral("Bench, Mark");
    p.SaveAsNew = true;
    p.Date = QDateTime::currentDateTime();
    p.Provider = QStringLiteral("Dr. Bench");
    p.EntryCount = MaxProgramEntries;
    for (int i = 0; i < MaxProgramEntries; ++i) {
        ProgramEntry e = rows > 0 ? ctx.Library.Entries[i % rows] : ProgramEntry{};
        if (rows == 0) {
            e.ExerciseID = i + 1;
            e.code = QStringLiteral("E%1").arg(i);
            e.AbbrevDesc = QStringLiteral("Exercise %1").arg(i);
        }
        p.Entries[size_t(i)] = e;
    }
    p.OrderItemCount = MaxOrderItems;
    for (int i = 0; i < MaxOrderItems; ++i)
        p.OrderItems[size_t(i)] = OrderItem{QStringLiteral("P00%1").arg(i + 1),
                                            QStringLiteral("Item"), 1, Currency::FromCents(1995)};
    p.Modified = true;
    if (!SaveProgram(ctx, false))
        throw DbError(QStringLiteral("the first save failed"));
    bool ok = true;
    const Timing saveLoad = MedianMs([&] {
        ctx.Program.Modified = true;
        ok = SaveProgram(ctx, false) && ok;
        LoadProgram(ctx, ctx.Program.InvoiceID);
    });
    if (!ok || ctx.Program.EntryCount != MaxProgramEntries)
        throw DbError(QStringLiteral("the save and load did not round-trip"));

    std::printf("%s: %d exercises\n", label, rows);
    std::printf("  LoadLibraryCache                      %8.2f ms elapsed  %8.2f ms processor\n",
                whole.Wall, whole.Cpu);
    std::printf("  LoadLibraryCacheFiltered (%4d rows)  %8.2f ms elapsed  %8.2f ms processor\n",
                filteredRows, filtered.Wall, filtered.Cpu);
    std::printf("  SaveProgram + LoadProgram (20)        %8.2f ms elapsed  %8.2f ms processor\n",
                saveLoad.Wall, saveLoad.Cpu);
    CloseDatabases(ctx);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        QTemporaryDir sample;
        InstallDeliveredFiles(sample.path(), DeliveredFilesFolder());
        Measure("sample library", sample.path());

        QTemporaryDir generated;
        for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist})
            CreateDatabaseFile(JoinPath(generated.path(), DbFileName(f)), f);
        GenerateLibrary(JoinPath(generated.path(), LibraryDbFileName), 5000);
        Measure("generated library", generated.path());
    } catch (const DbError& e) {
        std::fprintf(stderr, "bench_data: %s\n", e.what());
        return 1;
    }
    std::printf(
        "targets: cache of 5,000 rows under 30 ms; save plus load of 20 exercises under 15 ms "
        "(medians of %d runs)\n",
        Runs);
    return 0;
}
