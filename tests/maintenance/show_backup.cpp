// Shows the backup window after a backup of the sample data, for looking at it under Xvfb:
//   xvfb-run -a -s "-screen 0 1280x1024x24" show_backup [split] &
//   sleep 4; import -window root shot.png
// With "split" the destination is a removable medium of 1.5 MB.
#include "RealLauncher.h"
#include "frmBackup.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>

using namespace tramelle;
using namespace tramelle::test;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitTestEnvironment();
    TestContext tc;
    RealLauncher launcher;
    tc->SetLauncherService(&launcher);
    QTemporaryDir dest;
    const bool split = argc > 1 && qstrcmp(argv[1], "split") == 0;
    if (split) {
        QDir().mkpath(tc.Folder() + QStringLiteral("/Clinic/Movies"));
        for (int i = 1; i <= 3; ++i) {
            QFile f(tc.Folder() + QStringLiteral("/Clinic/Movies/900%1.AVI").arg(i));
            f.open(QIODevice::WriteOnly);
            QByteArray noise(900 * 1024, Qt::Uninitialized);
            for (int k = 0; k < noise.size(); ++k)
                noise[k] = char((k * 2654435761u) >> 13);
            f.write(noise);
        }
        tc.Prompt.Answers = std::deque<PromptAnswer>(12, PromptAnswer::Ok);
    }
    frmBackup w(*tc);
    w.SetDestination(dest.path());
    w.SetMediumProbe([split](const QString&) {
        return BackupMedium{split, split ? 1536 * 1024 : qint64(1) << 40};
    });
    w.move(40, 40);
    w.show();
    QTimer::singleShot(300, &w, [&] {
        w.findChild<QPushButton*>(QStringLiteral("cmdBackup"))->click();
        for (const QString& t : tc.Prompt.MessageTexts())
            std::printf("%s\n", qPrintable(t));
        std::fflush(stdout);
    });
    return app.exec();
}
