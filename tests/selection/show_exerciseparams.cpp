// Opens the parameters dialog on a sample exercise with a movie and plays it, for looking
// at it under Xvfb:
//   xvfb-run -a -s "-screen 0 1280x1024x24" show_exerciseparams &
//   sleep 4; import -window root shot.png
#include "Paths.h"
#include "TestSupport.h"
#include "frmExerciseParams.h"
#include "frmExerciseSelection.h"

#include <QApplication>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTimer>

using namespace tramelle;
using namespace tramelle::test;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitTestEnvironment();
    TestContext tc;
    tc->Settings.IconFolder = tc.Folder() + QStringLiteral("/ICON/");
    tc->Settings.PictureFolder = ProductMediaFolder() + QStringLiteral("Picture/");
    tc->Settings.MovieFolder = ProductMediaFolder() + QStringLiteral("Movie/");
    frmExerciseSelection w(*tc);
    w.SetSelectionMode(frmExerciseSelection::ModeProgram);
    w.move(0, 0);
    w.show();
    w.InitExerciseSelection(false);

    int choice = 0;
    while (choice < tc->Library.LibraryCount && tc->Library.Entries.at(choice).Movie.isEmpty())
        ++choice;
    frmExerciseParams* dialog = frmExerciseParams::Open(*tc, w, true, choice);
    if (!dialog)
        return 1;
    dialog->move(420, 300);
    // "still" as the second argument leaves the movie on its first frame.
    if (argc <= 2 || QString::fromLocal8Bit(argv[2]) != QLatin1String("still"))
        dialog->findChild<QPushButton*>(QStringLiteral("cmdControl_1"))->click();

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [dialog] {
        if (QMediaPlayer* p = dialog->Player())
            qInfo("state %d status %d position %lld of %lld", int(p->playbackState()),
                  int(p->mediaStatus()), p->position(), p->duration());
    });
    ticker.start(500);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 8;
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
