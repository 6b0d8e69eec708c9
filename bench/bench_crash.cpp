// Crash harness: a worker saves programs in a loop on real data files and is killed
// with SIGKILL at random moments; after each kill the files are checked (integrity,
// foreign keys, every committed save present whole or replaced by a later committed
// one). Then the first installation is killed at each of its steps and the next start
// must finish it. Usage: bench_crash [kills] (200 by default).
#include "AppContext.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "ProgramStore.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace tramelle;

namespace {

QByteArray Digest(const QStringList& parts)
{
    return QCryptographicHash::hash(parts.join(QLatin1Char('|')).toUtf8(), QCryptographicHash::Sha1)
        .toHex();
}

QByteArray DigestOf(const ProgramState& p)
{
    QStringList parts{p.Provider, QString::number(p.EntryCount), QString::number(p.OrderItemCount)};
    for (int i = 0; i < p.EntryCount; ++i) {
        const ProgramEntry& e = p.Entries[size_t(i)];
        parts << QString::number(e.ExerciseID) << QString::number(e.Reps) << QString::number(e.Hold)
              << QString::number(e.Sets) << e.Instruct0;
    }
    for (int i = 0; i < p.OrderItemCount; ++i) {
        const OrderItem& o = p.OrderItems[size_t(i)];
        parts << o.PartNumber << QString::number(o.Qty) << QString::number(o.Price.Raw);
    }
    return Digest(parts);
}

// The same digest read back from the file.
QByteArray StoredDigest(const QSqlDatabase& db, qint64 id)
{
    QSqlQuery h =
        Exec(db,
             QStringLiteral("SELECT Provider, (SELECT COUNT(*) FROM Exercise WHERE InvoiceID = ?), "
                            "(SELECT COUNT(*) FROM Items WHERE InvoiceID = ?) FROM Invoice "
                            "WHERE InvoiceID = ?"),
             {id, id, id});
    if (!h.next())
        return {};
    QStringList parts{h.value(0).toString(), h.value(1).toString(), h.value(2).toString()};
    QSqlQuery e =
        Exec(db,
             QStringLiteral("SELECT ExerciseID, Reps, Hold, Sets, Instruct0 FROM Exercise "
                            "WHERE InvoiceID = ? ORDER BY RankOnTape"),
             {id});
    while (e.next())
        for (int c = 0; c < 5; ++c)
            parts << e.value(c).toString();
    QSqlQuery o = Exec(
        db,
        QStringLiteral(
            "SELECT PartNumber, Qty, Price FROM Items WHERE InvoiceID = ? ORDER BY RankOnOrder"),
        {id});
    while (o.next())
        for (int c = 0; c < 3; ++c)
            parts << o.value(c).toString();
    return Digest(parts);
}

void LogLine(int fd, const QByteArray& line)
{
    const QByteArray l = line + '\n';
    if (::write(fd, l.constData(), size_t(l.size())) != l.size())
        ::_exit(3);
}

// Saves programs until killed: 0 to 20 exercises, 0 to 3 order lines, some saves
// replacing the previous one, closing and reopening now and then.
int RunWorker(const QString& folder, const QString& logPath)
{
    const int log =
        ::open(QFile::encodeName(logPath).constData(), O_WRONLY | O_APPEND | O_CREAT, 0644);
    AppContext ctx(folder);
    if (!PrepareDataFiles(folder, QString()).ok)
        return 2;
    OpenDatabases(ctx);
    ctx.Db.StartMainFileCheck({});
    qint64 patient = 0;
    {
        QSqlQuery q =
            Exec(ctx.Db.MainDb(), QStringLiteral("SELECT PatientID FROM Patient LIMIT 1"));
        patient =
            q.next() ? q.value(0).toLongLong()
                     : Exec(ctx.Db.MainDb(),
                            QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Crash, Test')"))
                           .lastInsertId()
                           .toLongLong();
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QRandomGenerator rng(quint32(::getpid()));
    std::optional<qint32> last;
    for (int n = 0;; ++n) {
        ProgramState& p = ctx.Program;
        p = ProgramState{};
        p.PatientID = qint32(patient);
        p.Modified = true;
        const bool replace = last && rng.bounded(3) == 0;
        p.SaveAsNew = !replace;
        p.InvoiceID = replace ? last : std::nullopt;
        p.Date = QDateTime::currentDateTime();
        p.Provider = QStringLiteral("Provider %1").arg(rng.bounded(1000));
        p.EntryCount = qint16(rng.bounded(21));
        for (int i = 0; i < p.EntryCount; ++i) {
            ProgramEntry& e = p.Entries[size_t(i)];
            e.ExerciseID = qint32(rng.bounded(1, 400));
            e.Reps = qint16(rng.bounded(100));
            e.Hold = qint16(rng.bounded(60));
            e.Sets = qint16(rng.bounded(10));
            e.Instruct0 = QString(int(rng.bounded(76)), QChar(u'a' + rng.bounded(26)));
        }
        p.OrderItemCount = qint16(rng.bounded(4));
        for (int i = 0; i < p.OrderItemCount; ++i)
            p.OrderItems[size_t(i)] =
                OrderItem{QStringLiteral("P%1").arg(i), QStringLiteral("Tape"),
                          qint16(rng.bounded(1, 5)), Currency::FromCents(rng.bounded(100000))};
        LogLine(log, "begin " + QByteArray::number(replace ? *last : 0) + ' ' + DigestOf(p));
        if (!SaveProgram(ctx, false))
            return 4;
        last = p.InvoiceID;
        LogLine(log, "commit " + QByteArray::number(*p.InvoiceID));
        if (rng.bounded(25) == 0) {
            CloseDatabases(ctx);
            OpenDatabases(ctx);
        }
    }
}

struct Figures
{
    int corrupt = 0;
    int lost = 0;
    int saves = 0;
};

// Checks the files as the next start finds them, without changing them.
void CheckAfterKill(const QString& folder, const QString& logPath, Figures& f)
{
    const QString name = QStringLiteral("check");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(JoinPath(folder, MainDbFileName));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            ++f.corrupt;
        } else {
            try {
                QSqlQuery ic = Exec(db, QStringLiteral("PRAGMA integrity_check"));
                if (!ic.next() || ic.value(0).toString() != QLatin1String("ok"))
                    ++f.corrupt;
                ic = QSqlQuery();
                if (Exec(db, QStringLiteral("PRAGMA foreign_key_check")).next())
                    ++f.corrupt;
                QFile logFile(logPath);
                logFile.open(QIODevice::ReadOnly);
                QHash<qint64, QByteArray> committed;
                QSet<qint64> replaced;
                // Saves begun but not logged as committed: each may have committed just
                // before its kill.
                QList<QPair<qint64, QByteArray>> unlogged;
                qint64 pendingReplaces = 0;
                QByteArray pendingDigest;
                for (const QByteArray& line : logFile.readAll().split('\n')) {
                    const QList<QByteArray> w = line.split(' ');
                    if (w.size() == 3 && w[0] == "begin") {
                        if (!pendingDigest.isEmpty())
                            unlogged.append({pendingReplaces, pendingDigest});
                        pendingReplaces = w[1].toLongLong();
                        pendingDigest = w[2];
                    } else if (w.size() == 2 && w[0] == "commit" && !pendingDigest.isEmpty()) {
                        committed.insert(w[1].toLongLong(), pendingDigest);
                        if (pendingReplaces)
                            replaced.insert(pendingReplaces);
                        pendingDigest.clear();
                    }
                }
                if (!pendingDigest.isEmpty())
                    unlogged.append({pendingReplaces, pendingDigest});
                QSet<QByteArray> unloggedStored;
                {
                    QSqlQuery all = Exec(db, QStringLiteral("SELECT InvoiceID FROM Invoice"));
                    QList<qint64> ids;
                    while (all.next())
                        ids << all.value(0).toLongLong();
                    all = QSqlQuery();
                    for (qint64 id : ids)
                        if (!committed.contains(id))
                            unloggedStored.insert(StoredDigest(db, id));
                }
                for (const auto& [replaces, digest] : unlogged)
                    if (replaces && unloggedStored.contains(digest))
                        replaced.insert(replaces);
                f.saves = int(committed.size());
                for (auto it = committed.cbegin(); it != committed.cend(); ++it) {
                    const QByteArray stored = StoredDigest(db, it.key());
                    if (stored.isEmpty()) {
                        if (!replaced.contains(it.key()))
                            ++f.lost;
                    } else if (stored != it.value()) {
                        ++f.corrupt;
                    }
                }
            } catch (const DbError& e) {
                std::printf("check failed: %s\n", e.what());
                ++f.corrupt;
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
}

// The first installation, killed by the driver when it reaches `step`.
int RunInstallWorker(const QString& folder, const QString& step)
{
    PrepareDataFiles(folder, DeliveredFilesFolder(), [&](const QString& s) {
        if (s == step) {
            std::printf("at %s\n", qPrintable(s));
            std::fflush(stdout);
            ::pause();
        }
    });
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--worker"))
        return RunWorker(args[2], args[3]);
    if (args.size() == 4 && args[1] == QLatin1String("--install"))
        return RunInstallWorker(args[2], args[3]);
    const int kills = args.size() > 1 ? args[1].toInt() : 200;
    const QString self = QCoreApplication::applicationFilePath();

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("app"));
    const QString logPath = dir.filePath(QStringLiteral("saves.log"));
    QRandomGenerator rng(20261209);
    Figures f;
    int done = 0;
    for (; done < kills; ++done) {
        QProcess worker;
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        worker.start(self, {QStringLiteral("--worker"), folder, logPath});
        if (!worker.waitForReadyRead(30000)) {
            std::printf("worker did not start: %s\n", worker.readAll().constData());
            return 1;
        }
        QThread::msleep(rng.bounded(5, 400));
        ::kill(pid_t(worker.processId()), SIGKILL);
        worker.waitForFinished(10000);
        if (worker.exitStatus() == QProcess::NormalExit) {
            std::printf("worker ended by itself (status %d)\n", worker.exitCode());
            return 1;
        }
        CheckAfterKill(folder, logPath, f);
    }
    std::printf("save loop: %d kills, %d committed saves logged: %d corrupt, %d lost\n", done,
                f.saves, f.corrupt, f.lost);

    // The first installation killed at each of its steps, then started again.
    int installFailures = 0;
    const QStringList steps{QStringLiteral("staged"), QStringLiteral("rename Velmora.MDB"),
                            QStringLiteral("rename Exercise Library.MDB"),
                            QStringLiteral("rename Picklist.MDB"), QStringLiteral("copy")};
    for (const QString& step : steps) {
        const QString installFolder =
            dir.filePath(QStringLiteral("install-") + QUuid::createUuid().toString(QUuid::Id128));
        QProcess worker;
        worker.start(self, {QStringLiteral("--install"), installFolder, step});
        if (!worker.waitForReadyRead(30000)) {
            std::printf("install did not reach %s\n", qPrintable(step));
            ++installFailures;
            continue;
        }
        ::kill(pid_t(worker.processId()), SIGKILL);
        worker.waitForFinished(10000);
        const DataFilesCheck c = PrepareDataFiles(installFolder, DeliveredFilesFolder());
        bool sound = c.ok;
        for (DbFile file : {DbFile::Main, DbFile::Library, DbFile::Picklist})
            sound = sound &&
                    CheckDatabaseFile(JoinPath(installFolder, DbFileName(file)), file).status ==
                        DbFileCheck::Ok;
        sound = sound && QDir(installFolder)
                             .entryList({QStringLiteral(".install-*")}, QDir::Dirs | QDir::Hidden)
                             .isEmpty();
        std::printf("install killed at \"%s\": next start %s\n", qPrintable(step),
                    sound ? "finished it" : "FAILED");
        if (!sound)
            ++installFailures;
    }
    std::printf("%d corrupt, %d lost; %d of %lld interrupted installs not recovered\n", f.corrupt,
                f.lost, installFailures, static_cast<long long>(steps.size()));
    return f.corrupt == 0 && f.lost == 0 && installFailures == 0 ? 0 : 1;
}
