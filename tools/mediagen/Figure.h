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

// The illustration of one exercise: a jointed figure seen from the side or the front,
// three key poses (start, middle, end) and the props drawn with it.
struct Art
{
    bool Front = false;
    QList<QJsonObject> Props; // drawn in every pose
    KeyPose Poses[3];
    QString FixPoint;          // a body point held at FixX (hands on a wall)
    double FixX = 0;
    QString Ground;            // the body point that rests on the floor; default the lowest
    double GroundHeight = 0;   // ... or on a step this high
    QString Trace;             // a body point whose path is drawn as an arrow
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
