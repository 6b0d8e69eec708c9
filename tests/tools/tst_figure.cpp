#include "Figure.h"
#include "SampleLibrary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace mediagen;

namespace {

mediagen::Art ArtFrom(const char* json)
{
    return ParseArt(QJsonDocument::fromJson(json).object());
}

// The extent of everything drawn above the floor line.
QRect Drawn(const QImage& image)
{
    QRect r;
    const int floor = int(FloorY * image.height() / SceneHeight) - 2;
    for (int y = 0; y < floor; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 200)
                r |= QRect(x, y, 1, 1);
        }
    }
    return r;
}

// Pixels in the tone of a marked, moving limb.
int Marked(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += std::abs(qGray(image.pixel(x, y)) - 0xc4) <= 2 ? 1 : 0;
    }
    return n;
}

const char* const ArmRaise =
    R"({"trace": "handR", "poses": [{}, {"shoulder": 90}, {"shoulder": 170}]})";
const char* const Still = R"({"poses": [{}, {}, {}]})";
const char* const Lying = R"({"props": [{"kind": "mat"}], "poses": [{"torso": -90},
                              {"torso": -90}, {"torso": -90}]})";
const char* const Jump = R"({"view": "front", "poses": [{}, {"shoulder": 90, "hip": 20},
                              {"shoulder": 170, "hip": 30}]})";

} // namespace

class TestFigure : public QObject
{
    Q_OBJECT

private slots:
    // The figure fills the picture whichever way it lies, and the same pose draws the
    // same pixels every time.
    void figureFillsThePictureAndIsRepeatable()
    {
        const QImage standing = RenderScene(ArtFrom(Still), 0, 400, 300, false);
        QVERIFY(Drawn(standing).height() > 0.8 * 284);
        const QImage lying = RenderScene(ArtFrom(Lying), 0, 400, 300, false);
        QVERIFY2(Drawn(lying).width() > 0.8 * 400, QByteArray::number(Drawn(lying).width()));
        QCOMPARE(RenderScene(ArtFrom(Lying), 0, 400, 300, false), lying);
    }

    // Only the limb that moves is marked; a movement of the whole figure marks nothing.
    void movingLimbIsMarked()
    {
        const int still = Marked(RenderScene(ArtFrom(Still), 0, 400, 300, false));
        const int arm = Marked(RenderScene(ArtFrom(ArmRaise), 0, 400, 300, false));
        const int jump = Marked(RenderScene(ArtFrom(Jump), 0, 400, 300, false));
        const QByteArray counts = QByteArray::number(still) + ' ' + QByteArray::number(arm) + ' ' +
                                  QByteArray::number(jump);
        QVERIFY2(arm > still + 300, counts);
        QVERIFY2(jump < still + 30, counts);
    }

    // A later picture adds the faint start pose and the arrow; the first shows neither.
    void laterPicturesShowWhereTheMovementStarted()
    {
        const Art art = ArtFrom(ArmRaise);
        QCOMPARE(RenderScene(art, 0, 400, 300, true), RenderScene(art, 0, 400, 300, false));
        const QImage plain = RenderScene(art, 2, 400, 300, false);
        const QImage shown = RenderScene(art, 2, 400, 300, true);
        int added = 0;
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 400; ++x)
                added += qGray(shown.pixel(x, y)) < qGray(plain.pixel(x, y)) - 40 ? 1 : 0;
        }
        QVERIFY2(added > 400, QByteArray::number(added));
    }

    // The movie sweeps out and back in two to three seconds and ends where it began, so
    // it loops without a jump.
    void movieLoopsSmoothlyInTwoToThreeSeconds()
    {
        const QList<QByteArray> frames = MovieFrames(ArtFrom(ArmRaise));
        const double seconds = double(frames.size()) / MovieFps;
        QVERIFY2(seconds >= 2 && seconds <= 3, QByteArray::number(seconds));
        QCOMPARE(frames.first(), frames.last());
        QVERIFY(frames.at(frames.size() / 4) != frames.first());
        QCOMPARE(QImage::fromData(frames.at(1), "JPEG").size(), QSize(MovieWidth, MovieHeight));
    }

    // Seen from above there is no floor: the figure and its mat sit in the middle.
    void topViewCentresTheFigureWithoutAFloor()
    {
        const QImage top = RenderScene(ArtFrom(R"({"view": "top", "props": [{"kind": "mat"}],
            "poses": [{"torso": -90}, {"torso": -90, "hipR": 15}, {"torso": -90, "hipR": 30}]})"),
                                       1, 400, 300, false);
        QRect r;
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 400; ++x) {
                if (qGray(top.pixel(x, y)) < 200)
                    r |= QRect(x, y, 1, 1);
            }
        }
        QVERIFY2(std::abs(r.center().y() - 150) < 12 && r.bottom() < 290,
                 QByteArray::number(r.bottom()));
        QVERIFY(r.width() > 0.8 * 400);
    }

    void unknownPropOrViewIsRefused()
    {
        QVERIFY_THROWS_EXCEPTION(
            SourceError, ArtFrom(R"({"props": [{"kind": "sofa"}], "poses": [{}, {}, {}]})"));
        QVERIFY_THROWS_EXCEPTION(SourceError,
                                 ArtFrom(R"({"view": "back", "poses": [{}, {}, {}]})"));
    }
};

QTEST_MAIN(TestFigure)
#include "tst_figure.moc"
