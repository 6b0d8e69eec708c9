// Start-up time: from process start to the main window being ready, without the
// splash. Runs itself as a child process in a fresh application folder: the first run
// installs the delivered files, the later runs are normal starts.
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "Settings.h"
#include "Startup.h"
#include "Transaction.h"
#include "mdiVMR.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace tramelle;

namespace {

int RunChild(const QString& appFolder, const QString& settingsFile, QElapsedTimer sinceMain)
{
    QCoreApplication::setOrganizationName(SettingsOrganization);
    QCoreApplication::setApplicationName(SettingsApplication);
    StartupOptions options;
    options.ShowSplash = false;
    options.ShowTipOfTheDay = false;
    options.QuitWhenReady = true;
    options.AppFolder = appFolder;
    options.SettingsFile = settingsFile;
    options.OnReady = [&](mdiVMR&, AppContext&) {
        std::printf("ready %.1f\n", sinceMain.nsecsElapsed() / 1e6);
        std::fflush(stdout);
    };
    return StartApplication(options);
}

// Milliseconds from starting the child to its "ready" line, and the child's own figure.
bool TimeOneStart(const QString& self, const QString& folder, const QString& settings,
                  double* total, double* inProcess)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(self, {QStringLiteral("--child"), folder, settings});
    if (!child.waitForStarted(10000))
        return false;
    QByteArray line;
    while (!line.contains('\n')) {
        if (!child.waitForReadyRead(30000))
            return false;
        line += child.readAll();
    }
    *total = timer.nsecsElapsed() / 1e6;
    *inProcess = line.trimmed().split(' ').value(1).toDouble();
    child.waitForFinished(30000);
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

// Grows the main file with stored programs of 20 exercises until it holds `bytes`.
void GrowMainFile(const QString& path, qint64 bytes)
{
    const QString name = QStringLiteral("grow");
    {
        QSqlDatabase db = OpenConnection(path, name);
        const qint64 patient =
            Exec(db, QStringLiteral("INSERT INTO Patient (FullName) VALUES ('Large, File')"))
                .lastInsertId()
                .toLongLong();
        const QString instruct(70, QLatin1Char('i'));
        while (QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size() < bytes) {
            Transaction t(db);
            for (int n = 0; n < 500; ++n) {
                const qint64 invoice =
                    Exec(db,
                         QStringLiteral("INSERT INTO Invoice (PatientID, Date, Provider) "
                                        "VALUES (?, '2026-12-09T00:00:00', 'Provider')"),
                         {patient})
                        .lastInsertId()
                        .toLongLong();
                QSqlQuery ex(db);
                ex.prepare(QStringLiteral(
                    "INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID, Desc, Reps, Hold, "
                    "Sets, Instruct0, Instruct1, Instruct2) VALUES (?, ?, ?, ?, 10, 5, 3, ?, ?, "
                    "?)"));
                for (int r = 0; r < 20; ++r) {
                    const QVariantList v{
                        invoice,  r,        100 + r, QStringLiteral("Exercise description"),
                        instruct, instruct, instruct};
                    for (int i = 0; i < v.size(); ++i)
                        ex.bindValue(i, v[i]);
                    ex.exec();
                }
            }
            t.Commit();
        }
    }
    CloseConnection(name);
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (argc == 4 && QByteArray(argv[1]) == "--child") {
        QApplication app(argc, argv);
        return RunChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                        sinceMain);
    }

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("app"));
    const QString settings = dir.filePath(QStringLiteral("settings.ini"));
    const QString self = QCoreApplication::applicationFilePath();

    double total = 0;
    double inProcess = 0;
    if (!TimeOneStart(self, folder, settings, &total, &inProcess)) {
        std::printf("first start failed\n");
        return 1;
    }
    std::printf("start-up, first start (installs the data files): %7.1f ms (in process %.1f ms)\n",
                total, inProcess);

    QList<double> totals;
    QList<double> inside;
    for (int i = 0; i < 7; ++i) {
        if (!TimeOneStart(self, folder, settings, &total, &inProcess)) {
            std::printf("normal start failed\n");
            return 1;
        }
        totals << total;
        inside << inProcess;
    }
    std::sort(totals.begin(), totals.end());
    std::sort(inside.begin(), inside.end());
    std::printf("start-up, normal start, median of %lld:          %7.1f ms (in process %.1f ms; "
                "best %.1f ms)\n",
                static_cast<long long>(totals.size()), totals.at(totals.size() / 2),
                inside.at(inside.size() / 2), totals.first());
    std::printf("target: under 500 ms from process start to the main window being ready\n");

    // The main file's quick check, which runs on a second thread once the window is up.
    const QString main = JoinPath(folder, MainDbFileName);
    while (QFileInfo(main).size() < 100LL * 1024 * 1024)
        GrowMainFile(main, QFileInfo(main).size() + 8LL * 1024 * 1024);
    QList<double> checks;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (!QuickCheckFile(main).ok) {
            std::printf("quick check failed\n");
            return 1;
        }
        checks << t.nsecsElapsed() / 1e6;
    }
    std::sort(checks.begin(), checks.end());
    std::printf(
        "quick check of a %.0f MB main file, median of 3:  %7.1f ms (in the background, after the "
        "window is up)\n",
        QFileInfo(main).size() / 1048576.0, checks.at(1));
    if (!TimeOneStart(self, folder, settings, &total, &inProcess)) {
        std::printf("start with the large main file failed\n");
        return 1;
    }
    std::printf(
        "start-up with the %.0f MB main file:               %7.1f ms (in process %.1f ms)\n",
        QFileInfo(main).size() / 1048576.0, total, inProcess);
    return 0;
}
