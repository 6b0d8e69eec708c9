// Copying the product media to the hard drive: the pictures and movies of a 5,000-exercise
// library, as real files, by the program's copy (staging folders swapped into place) and by
// `cp -r` of the same folders in the same run. Prints both and their throughput ratio.
#include "MediaFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tramelle;

namespace {

constexpr int LibrarySize = 5000;
const QList<MediaKind> Kinds = {MediaKind::Picture, MediaKind::Movie};

double TimeProgramCopy(const QString& cd, const QString& app)
{
    QDir().mkpath(app);
    QElapsedTimer timer;
    timer.start();
    MediaCopy copy(cd, app);
    for (MediaKind kind : Kinds) {
        if (!copy.Stage(kind))
            return -1;
    }
    if (!copy.Commit())
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

// With sync, cp's files are on the disk as the program's are before it swaps them in.
double TimeCp(const QString& cd, const QString& app, bool sync)
{
    QDir().mkpath(app);
    QElapsedTimer timer;
    timer.start();
    int status = QProcess::execute(
        QStringLiteral("cp"), {QStringLiteral("-r"), QDir(cd).filePath(QStringLiteral("Picture")),
                               QDir(cd).filePath(QStringLiteral("Movie")), app});
    if (status == 0 && sync)
        status = QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), app});
    return status == 0 ? timer.nsecsElapsed() / 1e9 : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_media-XXXXXX"));
    const QString library = dir.filePath(QStringLiteral("library"));
    const QString share = QStringLiteral(TRAMELLE_SHARE);
    const int made = QProcess::execute(
        QStringLiteral(TRAMELLE_MEDIAGEN),
        {QStringLiteral("--large-library"), QString::number(LibrarySize), QStringLiteral("--out"),
         library, QStringLiteral("--media"), share + QStringLiteral("/media"),
         QStringLiteral("--delivered"), share + QStringLiteral("/delivered")});
    if (made != 0) {
        std::printf("could not build the large library (%d)\n", made);
        return 1;
    }
    // The library's folders hold links; the "CD" holds the files themselves.
    const QString cd = dir.filePath(QStringLiteral("cd"));
    QDir().mkpath(cd);
    for (MediaKind kind : Kinds) {
        const QString folder = MediaFolderName(kind);
        const int status = QProcess::execute(
            QStringLiteral("cp"), {QStringLiteral("-rL"), QDir(library).filePath(folder), cd});
        if (status != 0) {
            std::printf("could not copy the %s folder (%d)\n", qPrintable(folder), status);
            return 1;
        }
    }
    MediaCopy probe(cd, cd);
    const qint64 bytes = probe.BytesNeeded(Kinds);
    const qint32 files = CountFiles(QDir(cd).filePath(QStringLiteral("Picture"))) +
                         CountFiles(QDir(cd).filePath(QStringLiteral("Movie")));
    std::printf("media of %d exercises: %d files, %.1f MB\n", LibrarySize, files,
                bytes / 1048576.0);

    // Alternating runs into fresh folders, best of each.
    std::vector<double> ours;
    std::vector<double> cp;
    std::vector<double> cpSync;
    for (int i = 0; i < 3; ++i) {
        const QString run = dir.filePath(QStringLiteral("run%1").arg(i));
        ours.push_back(TimeProgramCopy(cd, run + QStringLiteral("/program")));
        cp.push_back(TimeCp(cd, run + QStringLiteral("/cp"), false));
        cpSync.push_back(TimeCp(cd, run + QStringLiteral("/cpsync"), true));
        QDir(run).removeRecursively();
    }
    const double bestCpSync = *std::min_element(cpSync.begin(), cpSync.end());
    const double bestOurs = *std::min_element(ours.begin(), ours.end());
    const double bestCp = *std::min_element(cp.begin(), cp.end());
    if (bestOurs <= 0 || bestCp <= 0) {
        std::printf("a copy failed\n");
        return 1;
    }
    std::printf("program's copy (staged, synced, swapped): %.3f s, %.1f MB/s\n", bestOurs,
                bytes / 1048576.0 / bestOurs);
    std::printf("cp -r of the same folders:                %.3f s, %.1f MB/s\n", bestCp,
                bytes / 1048576.0 / bestCp);
    std::printf("cp -r then sync -f:                       %.3f s, %.1f MB/s\n", bestCpSync,
                bytes / 1048576.0 / bestCpSync);
    std::printf("throughput ratio program / cp -r: %.2f (target >= 0.80)\n", bestCp / bestOurs);
    std::printf("throughput ratio program / cp -r + sync: %.2f\n", bestCpSync / bestOurs);
    return 0;
}
