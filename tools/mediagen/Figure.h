#pragma once

#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QString>
#include <optional>
#include <stdexcept>

class QPainter;

namespace mediagen {

// A fault in the exercise source data; the message names what is wrong.
class SourceError : public std::runtime_error
{
public:
    explicit SourceError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The drawing's own units: pictures are 400 x 300 with the floor near the bottom.
inline constexpr double SceneWidth = 400.0;
inline constexpr double SceneHeight = 300.0;
inline constexpr double FloorY = 284.0;

// One key pose: joint angles in degrees (0 is the upright standing figure, arms hanging;
// positive shoulder/hip values are flexion forward, or abduction in a front view), an
// optional hip position and the props that belong to this pose only.
struct KeyPose
{
    QHash<QString, double> Angles;
    std::optional<double> X;
    std::optional<double> Y;
    QList<QJsonObject> Props;
};

// The illustration of one exercise: a jointed figure seen from the side, the front or
// above ("view": "side", "front" or "top"), three key poses (start, middle, end) and the
// props drawn with it. A top view lays the figure out as the front view does, lying in
// the picture's plane (torso -90 lies along it) with no floor under it: for movements
// across the floor, such as a leg sliding out while lying on the back. Its mat lies under
// the whole figure.
//
// Drawing: the limbs whose angle to their parent changes between the key poses are shaded
// (one or two limbs; a movement of the whole figure shades none), and the middle and end
// pictures show the start pose faintly and the "trace" point's path as an arrow.
struct Art
{
    bool Front = false; // front or top view
    bool Top = false;
    QList<QJsonObject> Props; // drawn in every pose
    KeyPose Poses[3];
    QString FixPoint; // a body point held at FixX (hands on a wall)
    double FixX = 0;
    QString Ground;          // the body point that rests on the floor; default the lowest
    double GroundHeight = 0; // ... or on a step this high
    QString Trace;           // a body point whose path is drawn as an arrow
};

// Reads the "art" object of an exercise. Throws SourceError on unknown angles, points
// or props, so a typo in the data never draws a silently wrong picture.
Art ParseArt(const QJsonObject& object);

// Draws the figure at position t along the key poses (0 start, 1 middle, 2 end; values
// between interpolate) onto a painter already scaled to scene units.
void DrawScene(QPainter& painter, const Art& art, double t, bool withTrace);

// Renders the scene into an image of the given size (4:3).
QImage RenderScene(const Art& art, double t, int width, int height, bool withTrace);

} // namespace mediagen
