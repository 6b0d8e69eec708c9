#include "NamedPipe.h"
#include "Paths.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

void Write(const QString& path, const QByteArray& bytes = "picture")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestPaths : public QObject
{
    Q_OBJECT

private slots:
    // Names read from the data files find their file inside the media folder and nowhere else.
    void mediaNamesStayInsideTheirFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(QDir(root).mkpath(QStringLiteral("media/Picture/sub")));
        const QString folder = root + QStringLiteral("/media/PICTURE/"); // case differs on disk
        Write(root + QStringLiteral("/media/Picture/385_1.JPG"));
        Write(root + QStringLiteral("/media/Picture/sub/7.jpg"));
        Write(root + QStringLiteral("/outside.jpg"));
        QVERIFY(QFile::link(root + QStringLiteral("/outside.jpg"),
                            root + QStringLiteral("/media/Picture/linked.jpg")));
        QVERIFY(QFile::link(root + QStringLiteral("/gone.jpg"),
                            root + QStringLiteral("/media/Picture/dangling.jpg")));

        QCOMPARE(ResolveMediaFile(folder, QStringLiteral("385_1.jpg")),
                 root + QStringLiteral("/media/Picture/385_1.JPG"));
        QCOMPARE(ResolveMediaFile(folder, QStringLiteral("SUB\\7.JPG")),
                 root + QStringLiteral("/media/Picture/sub/7.jpg"));
        // A link placed in the folder itself is the folder's own file, wherever it points.
        QCOMPARE(ResolveMediaFile(folder, QStringLiteral("linked.jpg")),
                 root + QStringLiteral("/media/Picture/linked.jpg"));

        const QStringList refused = {QStringLiteral("../../outside.jpg"),
                                     QStringLiteral("..\\..\\outside.jpg"),
                                     QStringLiteral("sub/../../../outside.jpg"),
                                     root + QStringLiteral("/outside.jpg"),
                                     QStringLiteral("C:\\outside.jpg"),
                                     QString(),
                                     QStringLiteral("sub"),
                                     QStringLiteral("dangling.jpg"),
                                     QStringLiteral("missing.jpg")};
        for (const QString& name : refused)
            QVERIFY2(ResolveMediaFile(folder, name).isEmpty(), qPrintable(name));

        // Joined already: a ".." anywhere names nothing.
        QCOMPARE(ResolveMediaPath(folder + QStringLiteral("385_1.JPG")),
                 root + QStringLiteral("/media/Picture/385_1.JPG"));
        QVERIFY(ResolveMediaPath(folder + QStringLiteral("../../outside.jpg")).isEmpty());
        QVERIFY(ResolveMediaPath(folder).isEmpty());
    }

    // A named pipe or a device is never opened, so nothing waits on it.
    void specialFilesAreNeverOpened()
    {
        QTemporaryDir dir;
        const QString pipePath = dir.filePath(QStringLiteral("pipe.jpg"));
        NamedPipe pipe(pipePath);
        QVERIFY(pipe.Made());
        QVERIFY(QFile::link(pipePath, dir.filePath(QStringLiteral("link.jpg"))));

        QVERIFY(ResolveMediaFile(dir.path(), QStringLiteral("pipe.jpg")).isEmpty());
        QVERIFY(ResolveMediaFile(dir.path(), QStringLiteral("link.jpg")).isEmpty());
        QVERIFY(ResolveMediaPath(QStringLiteral("/dev/zero")).isEmpty());
        QVERIFY(!pipe.WasOpened());

        // Even a pipe put where a resolved file was is refused on opening.
        QFile file;
        QVERIFY(!OpenRegularFile(file, pipePath));
        QVERIFY(!OpenRegularFile(file, QStringLiteral("/dev/zero")));
        QVERIFY(!file.isOpen());

        Write(dir.filePath(QStringLiteral("real.jpg")), "JPEG");
        QVERIFY(OpenRegularFile(file, dir.filePath(QStringLiteral("real.jpg"))));
        QCOMPARE(file.readAll(), QByteArray("JPEG"));
    }
};

TRAMELLE_TEST_MAIN(TestPaths)
#include "tst_paths.moc"
