// Start-up time: from process start to the main window being ready, without the
// splash. Runs itself as a child process in a fresh application folder: the first run
// installs the delivered files, the later runs are normal starts.
#include "Settings.h"
#include "Startup.h"
#include "mdiVMR.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
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
    return 0;
}
