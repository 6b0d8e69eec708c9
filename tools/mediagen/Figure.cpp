#include "Figure.h"

#include <QJsonArray>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace mediagen {

namespace {

// Segment lengths and widths of the figure, in scene units.
constexpr double TorsoLength = 72, NeckLength = 9, HeadRadius = 15;
constexpr double UpperArmLength = 46, ForearmLength = 40, HandLength = 10, HandWidth = 10;
constexpr double ThighLength = 56, ShinLength = 54, FootLength = 21, HeelLength = 5;
constexpr double NeckWidth = 10;
constexpr double UpperArmWidth = 13, ForearmWidth = 11, ThighWidth = 18, ShinWidth = 14,
                 FootWidth = 9;
constexpr double Outline = 2.6;
constexpr double MatHeight = 9;
constexpr double SceneMargin = 8;

// Joint angles relative to the parent segment, and absolute segment directions.
const QStringList RelativeJoints{QStringLiteral("shoulder"), QStringLiteral("elbow"),
                                 QStringLiteral("wrist"),    QStringLiteral("hip"),
                                 QStringLiteral("knee"),     QStringLiteral("ankle")};
const QStringList AbsoluteSegments{QStringLiteral("arm"),  QStringLiteral("forearm"),
                                   QStringLiteral("hand"), QStringLiteral("thigh"),
                                   QStringLiteral("shin"), QStringLiteral("foot")};
const QStringList PropKinds{QStringLiteral("mat"),       QStringLiteral("chair"),
                            QStringLiteral("chairback"), QStringLiteral("wall"),
                            QStringLiteral("step"),      QStringLiteral("ball"),
                            QStringLiteral("band"),      QStringLiteral("towel"),
                            QStringLiteral("weight"),    QStringLiteral("table")};

const QStringList& PointNames()
{
    static const QStringList names = [] {
        QStringList n{QStringLiteral("hip"), QStringLiteral("neck"), QStringLiteral("head"),
                      QStringLiteral("chest")};
        for (const char* p : {"shoulder", "elbow", "wrist", "hand", "hipjoint", "knee", "ankle",
                              "toe", "heel", "foot"}) {
            n << QLatin1String(p) + QLatin1Char('R') << QLatin1String(p) + QLatin1Char('L');
        }
        return n;
    }();
    return names;
}

// A direction measured from "up", positive towards the figure's front (screen right).
QPointF Dir(double degrees)
{
    const double r = degrees * M_PI / 180.0;
    return {std::sin(r), -std::cos(r)};
}

// The absolute directions of every segment of one pose.
struct Segments
{
    double Torso = 0, Neck = 0, Turn = 0, Sit = 0;
    double Arm[2]{}, Forearm[2]{}, Hand[2]{}, Thigh[2]{}, Shin[2]{}, Foot[2]{};
};

Segments Resolve(const QHash<QString, double>& a, bool front)
{
    auto value = [&](const QString& name, int side) -> std::optional<double> {
        const QString sided = name + (side == 0 ? QLatin1Char('R') : QLatin1Char('L'));
        if (a.contains(sided))
            return a.value(sided);
        if (a.contains(name))
            return a.value(name);
        return std::nullopt;
    };
    Segments s;
    s.Torso = a.value(QStringLiteral("torso"), 0);
    s.Neck = s.Torso + a.value(QStringLiteral("neck"), 0);
    s.Turn = a.value(QStringLiteral("turn"), 0);
    s.Sit = a.value(QStringLiteral("sit"), 0);
    for (int side = 0; side < 2; ++side) {
        // In a front view the figure's right side is on the left of the picture; a
        // positive angle moves each limb away from the body.
        const double k = front ? (side == 0 ? -1.0 : 1.0) : 1.0;
        auto rel = [&](const char* joint) { return value(QLatin1String(joint), side).value_or(0); };
        auto pick = [&](const char* segment, double fromJoint) {
            return value(QLatin1String(segment), side).value_or(fromJoint);
        };
        s.Arm[side] = pick("arm", s.Torso + 180 - k * rel("shoulder"));
        s.Forearm[side] = pick("forearm", s.Arm[side] - k * rel("elbow"));
        s.Hand[side] = pick("hand", s.Forearm[side] - k * rel("wrist"));
        s.Thigh[side] = pick("thigh", s.Torso + 180 - k * rel("hip"));
        s.Shin[side] = pick("shin", s.Thigh[side] + k * rel("knee"));
        s.Foot[side] =
            pick("foot", front ? s.Shin[side] - k * 75 : s.Shin[side] - 90 - rel("ankle"));
    }
    return s;
}

Segments Blend(const Segments& a, const Segments& b, double u)
{
    auto mix = [u](double x, double y) { return x + (y - x) * u; };
    Segments s;
    s.Torso = mix(a.Torso, b.Torso);
    s.Neck = mix(a.Neck, b.Neck);
    s.Turn = mix(a.Turn, b.Turn);
    s.Sit = mix(a.Sit, b.Sit);
    for (int i = 0; i < 2; ++i) {
        s.Arm[i] = mix(a.Arm[i], b.Arm[i]);
        s.Forearm[i] = mix(a.Forearm[i], b.Forearm[i]);
        s.Hand[i] = mix(a.Hand[i], b.Hand[i]);
        s.Thigh[i] = mix(a.Thigh[i], b.Thigh[i]);
        s.Shin[i] = mix(a.Shin[i], b.Shin[i]);
        s.Foot[i] = mix(a.Foot[i], b.Foot[i]);
    }
    return s;
}

// Which segments move between the key poses: each one whose angle to its parent changes,
// and everything hanging from it. The moving limb is drawn in a darker tone.
struct Moving
{
    bool Torso = false, Head = false;
    bool Arm[2][3]{}, Leg[2][3]{};
};

// One filled piece of the figure: a limb tapering from width WidthA at A to WidthB at B,
// or (with a polygon) a foot.
struct Piece
{
    QPointF A, B;
    double WidthA, WidthB;
    int Layer; // 0 behind the body, 1 the body, 2 in front
    bool Moving = false;
    QPolygonF Shape;
};

struct Body
{
    QHash<QString, QPointF> Points;
    QList<Piece> Pieces;
    QPointF Head;
    double Neck = 0, Turn = 0;
    double Forearm[2]{};
    bool Front = false;
    bool HeadMoving = false;

    void Move(QPointF by)
    {
        for (auto it = Points.begin(); it != Points.end(); ++it)
            it.value() += by;
        for (Piece& c : Pieces) {
            c.A += by;
            c.B += by;
            c.Shape.translate(by);
        }
        Head += by;
    }
    QRectF Bounds() const
    {
        QRectF r(Head - QPointF(HeadRadius, HeadRadius), QSizeF(2 * HeadRadius, 2 * HeadRadius));
        for (const Piece& c : Pieces) {
            if (!c.Shape.isEmpty()) {
                r |= c.Shape.boundingRect();
                continue;
            }
            const double h = std::max(c.WidthA, c.WidthB) / 2 + Outline;
            r |= QRectF(QPointF(std::min(c.A.x(), c.B.x()) - h, std::min(c.A.y(), c.B.y()) - h),
                        QPointF(std::max(c.A.x(), c.B.x()) + h, std::max(c.A.y(), c.B.y()) + h));
        }
        return r.adjusted(-Outline, -Outline, Outline, Outline);
    }
};

// The lowest extent of one body point's drawing (a foot, a knee, a hand).
double LowestNear(const Body& body, const QString& point)
{
    if (point.startsWith(QLatin1String("foot"))) {
        const QChar side = point.back();
        const double h = FootWidth / 2 + Outline;
        return std::max(body.Points.value(QStringLiteral("toe") + side).y(),
                        body.Points.value(QStringLiteral("heel") + side).y()) +
               h;
    }
    return body.Points.value(point).y() + 8;
}

Moving FindMoving(const Art& art)
{
    constexpr double Threshold = 12;
    Moving m;
    const Segments s0 = Resolve(art.Poses[0].Angles, art.Front);
    for (int k = 1; k < 3; ++k) {
        const Segments s = Resolve(art.Poses[k].Angles, art.Front);
        auto changed = [](double a0, double b0, double a, double b) {
            return std::abs((a - b) - (a0 - b0)) > Threshold;
        };
        m.Torso = m.Torso || std::abs(s.Torso - s0.Torso) > Threshold;
        m.Head = m.Head || changed(s0.Neck, s0.Torso, s.Neck, s.Torso) ||
                 std::abs(s.Turn - s0.Turn) > Threshold;
        for (int i = 0; i < 2; ++i) {
            bool chain = changed(s0.Arm[i], s0.Torso, s.Arm[i], s.Torso);
            m.Arm[i][0] = m.Arm[i][0] || chain;
            chain = chain || changed(s0.Forearm[i], s0.Arm[i], s.Forearm[i], s.Arm[i]);
            m.Arm[i][1] = m.Arm[i][1] || chain;
            chain = chain || changed(s0.Hand[i], s0.Forearm[i], s.Hand[i], s.Forearm[i]);
            m.Arm[i][2] = m.Arm[i][2] || chain;
            chain = changed(s0.Thigh[i], s0.Torso, s.Thigh[i], s.Torso);
            m.Leg[i][0] = m.Leg[i][0] || chain;
            chain = chain || changed(s0.Shin[i], s0.Thigh[i], s.Shin[i], s.Thigh[i]);
            m.Leg[i][1] = m.Leg[i][1] || chain;
            chain = chain || changed(s0.Foot[i], s0.Shin[i], s.Foot[i], s.Shin[i]);
            m.Leg[i][2] = m.Leg[i][2] || chain;
        }
    }
    // Marking more than two limbs, or the trunk as well as a limb, would mark the whole
    // figure: the faint start pose and the arrow show such a movement instead.
    int limbs = 0;
    for (int i = 0; i < 2; ++i)
        limbs += int(m.Arm[i][2]) + int(m.Leg[i][2]);
    if (limbs > 2) {
        for (int i = 0; i < 2; ++i) {
            for (int k = 0; k < 3; ++k)
                m.Arm[i][k] = m.Leg[i][k] = false;
        }
    }
    m.Torso = m.Torso && limbs == 0;
    return m;
}

Body Layout(const Segments& s, bool front, const Moving& moving = {})
{
    Body b;
    b.Front = front;
    b.Neck = s.Neck;
    b.Turn = s.Turn;
    b.HeadMoving = moving.Head;
    const QPointF hip(0, 0);
    const QPointF up = Dir(s.Torso);
    const QPointF neck = hip + up * TorsoLength;
    const QPointF across = Dir(s.Torso + 90);
    b.Points[QStringLiteral("hip")] = hip;
    b.Points[QStringLiteral("neck")] = neck;
    b.Points[QStringLiteral("chest")] = hip + up * (TorsoLength * 0.65);
    b.Head = neck + Dir(s.Neck) * (NeckLength + HeadRadius);
    b.Points[QStringLiteral("head")] = b.Head;
    // The trunk: pelvis, waist and chest, broad at the shoulders seen from the front,
    // with a rounded chest and back seen from the side.
    const QPointF waist = hip + up * (TorsoLength * 0.38);
    const QPointF chest = hip + up * (TorsoLength * 0.7) + across * (front ? 0.0 : 2.0);
    const QPointF top = neck - up * 7;
    const bool torsoMoving = moving.Torso;
    if (front) {
        b.Pieces << Piece{hip + up * 2, waist, 38, 31, 1, torsoMoving, {}}
                 << Piece{waist, chest, 31, 40, 1, torsoMoving, {}}
                 << Piece{top - across * 14, top + across * 14, 17, 17, 1, torsoMoving, {}};
    } else {
        b.Pieces << Piece{hip + up * 3, waist, 31, 26, 1, torsoMoving, {}}
                 << Piece{waist, chest, 26, 31, 1, torsoMoving, {}}
                 << Piece{chest, top, 31, 25, 1, torsoMoving, {}};
    }
    b.Pieces << Piece{neck - up * 6,
                      neck + Dir(s.Neck) * NeckLength,
                      NeckWidth + 2,
                      NeckWidth,
                      1,
                      moving.Head,
                      {}};
    for (int side = 0; side < 2; ++side) {
        const QChar tag = side == 0 ? QLatin1Char('R') : QLatin1Char('L');
        // Side view: the right side is nearer to the viewer. Front view: legs go under the
        // torso, arms in front of it.
        const int armLayer = front ? 2 : (side == 0 ? 2 : 0);
        const int legLayer = front ? 0 : (side == 0 ? 2 : 0);
        const double spread = front ? (side == 0 ? -1.0 : 1.0) : 0.0;
        const QPointF shoulder = neck - up * 8 + across * (spread * 15);
        const QPointF elbow = shoulder + Dir(s.Arm[side]) * UpperArmLength;
        const QPointF wrist = elbow + Dir(s.Forearm[side]) * ForearmLength;
        const QPointF hand = wrist + Dir(s.Hand[side]) * HandLength;
        const QPointF hipJoint = hip + across * (spread * 10);
        // Seen from the front, the thighs of a seated figure point at the viewer.
        const double thigh = front ? ThighLength * (1 - 0.8 * s.Sit) : ThighLength;
        const QPointF knee = hipJoint + Dir(s.Thigh[side]) * thigh;
        const QPointF ankle = knee + Dir(s.Shin[side]) * ShinLength;
        const QPointF toe = ankle + Dir(s.Foot[side]) * (front ? FootLength * 0.45 : FootLength);
        const QPointF heel = ankle - Dir(s.Foot[side]) * (front ? 0 : HeelLength);
        b.Points[QStringLiteral("shoulder") + tag] = shoulder;
        b.Points[QStringLiteral("elbow") + tag] = elbow;
        b.Points[QStringLiteral("wrist") + tag] = wrist;
        b.Points[QStringLiteral("hand") + tag] = hand;
        b.Points[QStringLiteral("hipjoint") + tag] = hipJoint;
        b.Points[QStringLiteral("knee") + tag] = knee;
        b.Points[QStringLiteral("ankle") + tag] = ankle;
        b.Points[QStringLiteral("toe") + tag] = toe;
        b.Points[QStringLiteral("heel") + tag] = heel;
        b.Points[QStringLiteral("foot") + tag] = (toe + heel) / 2;
        b.Forearm[side] = s.Forearm[side];
        const bool* leg = moving.Leg[side];
        const bool* arm = moving.Arm[side];
        b.Pieces << Piece{hipJoint, knee, ThighWidth + 3, ShinWidth + 1, legLayer, leg[0], {}}
                 << Piece{knee, ankle, ShinWidth + 1, ShinWidth - 5, legLayer, leg[1], {}};
        // The foot: a shoe shape, heel and sole on the ground, the instep rising to the ankle.
        const QPointF sole = Dir(s.Foot[side] + 90) * (FootWidth / 2);
        QPolygonF foot;
        if (front) {
            foot << ankle - across * 4 << ankle + across * 4 << toe + across * 5 + sole * 0.4
                 << toe - across * 5 + sole * 0.4;
        } else {
            foot << ankle - Dir(s.Foot[side]) * 3 - sole * 0.6
                 << ankle + Dir(s.Foot[side]) * 5 - sole * 0.8
                 << toe - sole * 0.2 + Dir(s.Foot[side]) * 3 << toe + sole + Dir(s.Foot[side]) * 2
                 << heel + sole - Dir(s.Foot[side]) * 2
                 << heel - sole * 0.4 - Dir(s.Foot[side]) * 2;
        }
        b.Pieces << Piece{ankle, toe, 0, 0, legLayer, leg[2], foot};
        b.Pieces << Piece{shoulder, elbow, UpperArmWidth + 1, ForearmWidth, armLayer, arm[0], {}}
                 << Piece{elbow, wrist, ForearmWidth, ForearmWidth - 3, armLayer, arm[1], {}}
                 << Piece{wrist + Dir(s.Hand[side]) * 1,
                          hand + Dir(s.Hand[side]) * 1,
                          HandWidth - 3,
                          HandWidth,
                          armLayer,
                          arm[2],
                          {}};
    }
    return b;
}

QPointF PropPoint(const QJsonValue& v, const Body& body)
{
    if (v.isArray()) {
        const QJsonArray a = v.toArray();
        return {a.at(0).toDouble(), a.at(1).toDouble()};
    }
    return body.Points.value(v.toString());
}

QPointF Offset(const QJsonObject& prop)
{
    return {prop.value(QLatin1String("dx")).toDouble(), prop.value(QLatin1String("dy")).toDouble()};
}

bool HasProp(const QList<QJsonObject>& props, const char* kind)
{
    return std::any_of(props.begin(), props.end(), [kind](const QJsonObject& p) {
        return p.value(QLatin1String("kind")).toString() == QLatin1String(kind);
    });
}

// One frame, laid out: the body in scene units and the props in force.
struct Frame
{
    Body Figure;
    QList<QJsonObject> Props;
    double Surface = FloorY;
};

// Where the start pose sits in the middle of the picture.
QPointF AutoCentre(const Art& art)
{
    const Body b = Layout(Resolve(art.Poses[0].Angles, art.Front), art.Front);
    return QPointF(SceneWidth, SceneHeight) / 2 - b.Bounds().center();
}

Frame Pose(const Art& art, double t)
{
    t = std::clamp(t, 0.0, 2.0);
    const int i = std::min(int(t), 1);
    const double u = t - i;
    const KeyPose& p = art.Poses[i];
    const KeyPose& q = art.Poses[i + 1];
    Frame f;
    f.Props = art.Props + (u < 0.5 ? p.Props : q.Props);
    f.Figure = Layout(Blend(Resolve(p.Angles, art.Front), Resolve(q.Angles, art.Front), u),
                      art.Front, FindMoving(art));
    f.Surface = HasProp(f.Props, "mat") ? FloorY - MatHeight : FloorY;

    const QPointF centre = AutoCentre(art);
    const double x0 = p.X.value_or(centre.x()), x1 = q.X.value_or(centre.x());
    double y = 0;
    if (p.Y && q.Y) {
        y = *p.Y + (*q.Y - *p.Y) * u;
    } else if (art.Top) {
        // Seen from above nothing rests on the floor: the hips stay where they start.
        y = centre.y();
    } else if (!art.Ground.isEmpty()) {
        y = f.Surface - art.GroundHeight - LowestNear(f.Figure, art.Ground);
    } else {
        y = f.Surface - f.Figure.Bounds().bottom() + Outline;
    }
    f.Figure.Move({x0 + (x1 - x0) * u, y});
    if (!art.FixPoint.isEmpty())
        f.Figure.Move({art.FixX - f.Figure.Points.value(art.FixPoint).x(), 0});
    return f;
}

QRectF PropBounds(const QJsonObject& prop, const Body& body)
{
    const QString kind = prop.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("chair")) {
        QPointF hip = body.Points.value(QStringLiteral("hip"));
        if (prop.contains(QLatin1String("x")))
            hip = {prop.value(QLatin1String("x")).toDouble(),
                   prop.value(QLatin1String("y")).toDouble()};
        return QRectF(hip.x() - 38, hip.y() - 80, 76, FloorY - hip.y() + 80);
    }
    if (kind == QLatin1String("chairback")) {
        const QPointF at = PropPoint(prop.value(QLatin1String("at")), body) + Offset(prop);
        const double far = at.x() + prop.value(QLatin1String("side")).toDouble(1) * 50;
        return QRectF(QPointF(std::min(at.x(), far) - 6, at.y()),
                      QPointF(std::max(at.x(), far) + 6, FloorY));
    }
    if (kind == QLatin1String("wall")) {
        const double x = prop.value(QLatin1String("x")).toDouble();
        return QRectF(x - 12, FloorY - 120, 24, 120);
    }
    if (kind == QLatin1String("step")) {
        const QString under = prop.value(QLatin1String("under")).toString();
        if (under.isEmpty()) {
            const double x = prop.value(QLatin1String("x")).toDouble();
            return QRectF(x - 38, FloorY - prop.value(QLatin1String("h")).toDouble(), 76, 1);
        }
        const QPointF at = body.Points.value(under);
        return QRectF(at.x() - 38, at.y(), 76, 1);
    }
    if (kind == QLatin1String("table")) {
        const QPointF at = PropPoint(prop.value(QLatin1String("under")), body) + Offset(prop);
        return QRectF(at.x() - 57, at.y(), 104, 10);
    }
    if (kind == QLatin1String("ball") || kind == QLatin1String("weight")) {
        const double r = prop.value(QLatin1String("r")).toDouble(20);
        const QPointF c = PropPoint(prop.value(QLatin1String("at")), body) + Offset(prop);
        return QRectF(c - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    if (kind == QLatin1String("band") || kind == QLatin1String("towel")) {
        return QRectF(PropPoint(prop.value(QLatin1String("from")), body),
                      PropPoint(prop.value(QLatin1String("to")), body))
            .normalized();
    }
    return {};
}

// How the scene is placed in the picture: scaled about the floor's middle and moved
// sideways so that every frame of the exercise, props included, fills the picture.
struct Placement
{
    double Scale = 1, Shift = 0, ShiftY = 0;
    double AnchorY = FloorY; // the height that stays put: the floor, or the middle from above
    QRectF Figure;           // the figure's extent over all frames, in scene units
};

Placement Fit(const Art& art)
{
    constexpr double MaxScale = 1.6;
    QRectF figure, all;
    for (int k = 0; k <= 8; ++k) {
        const Frame f = Pose(art, k * 0.25);
        figure |= f.Figure.Bounds();
        for (const QJsonObject& prop : f.Props)
            all |= PropBounds(prop, f.Figure);
    }
    all |= figure;
    Placement place;
    place.Figure = figure;
    place.Shift = SceneWidth / 2 - all.center().x();
    if (art.Top) {
        if (HasProp(art.Props, "mat"))
            all |= figure.adjusted(-16, -14, 16, 14);
        place.AnchorY = SceneHeight / 2;
        place.ShiftY = SceneHeight / 2 - all.center().y();
        place.Scale =
            std::min({MaxScale, (SceneHeight - 2 * SceneMargin) / std::max(all.height(), 40.0),
                      (SceneWidth - 2 * SceneMargin) / std::max(all.width(), 40.0)});
        return place;
    }
    const double top = std::min(all.top(), FloorY - 40);
    place.Scale = std::min({MaxScale, (FloorY - SceneMargin) / (FloorY - top),
                            (SceneWidth - 2 * SceneMargin) / std::max(all.width(), 40.0)});
    return place;
}

const QColor Ink(0x1e, 0x1e, 0x1e);
const QColor BodyFill(0xf4, 0xf4, 0xf4);
const QColor MoveFill(0xc4, 0xc4, 0xc4);
const QColor FarInk(0x7a, 0x7a, 0x7a);
const QColor FarFill(0xdc, 0xdc, 0xdc);
const QColor GhostInk(0xb8, 0xb8, 0xb8);
const QColor Hair(0x5a, 0x5a, 0x5a);
const QColor ArrowInk(0x40, 0x40, 0x40);
const QColor PropFill(0xe8, 0xe8, 0xe8);

void StrokeLine(QPainter& p, QPointF a, QPointF b, double width, const QColor& color)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(a, b);
}

// Outlined band: a dark edge with a light core, like a drawn strap or a chair's leg.
void Strap(QPainter& p, QPointF a, QPointF b, double width, const QColor& fill)
{
    StrokeLine(p, a, b, width + 2 * 2.0, Ink);
    StrokeLine(p, a, b, width, fill);
}

void Box(QPainter& p, const QRectF& r, const QColor& fill = Qt::white, double radius = 1.5)
{
    p.setPen(QPen(Ink, 2.6, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
}

// A short block turned to a direction: a dumbbell's plate.
QPolygonF Block(QPointF centre, QPointF along, double length, double width)
{
    const QPointF a = along * (length / 2), c = QPointF(-along.y(), along.x()) * (width / 2);
    return QPolygonF{centre - a - c, centre + a - c, centre + a + c, centre - a + c};
}

void DrawChair(QPainter& p, const QJsonObject& prop, const Body& body, bool front)
{
    // Under the hips, or standing still at "x"/"y" while the figure rises from it.
    QPointF hip = body.Points.value(QStringLiteral("hip"));
    double seat = hip.y() + ThighWidth / 2 + Outline + 2.5;
    if (prop.contains(QLatin1String("x"))) {
        hip.setX(prop.value(QLatin1String("x")).toDouble());
        seat = prop.value(QLatin1String("y")).toDouble();
    }
    if (front) {
        // The back rest shows above the seat behind the figure.
        Box(p, QRectF(hip.x() - 30, seat - 76, 60, 26), PropFill, 4);
        Strap(p, {hip.x() - 26, seat - 50}, {hip.x() - 26, seat}, 4, PropFill);
        Strap(p, {hip.x() + 26, seat - 50}, {hip.x() + 26, seat}, 4, PropFill);
        Strap(p, {hip.x() - 30, seat + 8}, {hip.x() - 32, FloorY - 1}, 4, PropFill);
        Strap(p, {hip.x() + 30, seat + 8}, {hip.x() + 32, FloorY - 1}, 4, PropFill);
        Box(p, QRectF(hip.x() - 36, seat, 72, 8), PropFill);
        return;
    }
    // The chair faces the same way as the figure: its back is behind the hips.
    const double back = hip.x() - 32;
    Strap(p, {back + 4, seat + 8}, {back + 1, FloorY - 1}, 4, PropFill);
    Strap(p, {back + 58, seat + 8}, {back + 61, FloorY - 1}, 4, PropFill);
    StrokeLine(p, {back + 4, seat + 36}, {back + 58, seat + 36}, 2.2, Ink);
    Strap(p, {back + 3, seat}, {back - 5, seat - 78}, 5, PropFill);
    Box(p, QRectF(back - 9, seat - 80, 9, 34), PropFill, 3);
    Box(p, QRectF(back, seat, 64, 8), PropFill);
}

void DrawChairBack(QPainter& p, QPointF top, double side)
{
    // A chair standing in front of the figure, its back rest under the hands.
    const double seat = FloorY - 64;
    const double far = top.x() + side * 50;
    Strap(p, {far, seat + 8}, {far + side * 2, FloorY - 1}, 4, PropFill);
    Strap(p, top, {top.x(), FloorY - 1}, 5, PropFill);
    Box(p, QRectF(QPointF(std::min(top.x(), far), seat), QPointF(std::max(top.x(), far), seat + 8)),
        PropFill);
    Box(p, QRectF(top.x() - 5, top.y(), 10, 30), PropFill, 3);
}

void DrawWall(QPainter& p, double x)
{
    // The wall's face, with its inside hatched.
    const double side = x > SceneWidth / 2 ? 1 : -1;
    p.setPen(Qt::NoPen);
    p.setBrush(PropFill);
    p.drawRect(QRectF(QPointF(x, 0), QPointF(x + side * 14, FloorY)));
    p.setPen(QPen(FarInk, 1.5));
    for (double y = 14; y < FloorY; y += 12)
        p.drawLine(QPointF(x, y), QPointF(x + side * 12, y - 12));
    StrokeLine(p, {x, -40}, {x, FloorY}, 3.5, Ink);
}

void DrawWeight(QPainter& p, QPointF at, double forearm)
{
    // A dumbbell held across the hand: a bar and two plates.
    const QPointF along = Dir(forearm + 90);
    StrokeLine(p, at - along * 12, at + along * 12, 4.5, Ink);
    p.setPen(QPen(Ink, 2.2, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(PropFill);
    for (double end : {-1.0, 1.0})
        p.drawPolygon(Block(at + along * (end * 12), Dir(forearm), 16, 7));
}

void DrawProp(QPainter& p, const QJsonObject& prop, const Frame& f, const Art& art,
              const QRectF& figure)
{
    const QString kind = prop.value(QLatin1String("kind")).toString();
    const Body& body = f.Figure;
    const bool front = art.Front;
    if (kind == QLatin1String("mat") && art.Top) {
        // Seen from above, the mat lies under the whole figure.
        Box(p, figure.adjusted(-14, -12, 14, 12), PropFill, 6);
    } else if (kind == QLatin1String("mat")) {
        // A mat just longer than the figure, unless its ends are given.
        Box(p,
            QRectF(QPointF(prop.value(QLatin1String("x0")).toDouble(figure.left() - 14),
                           FloorY - MatHeight),
                   QPointF(prop.value(QLatin1String("x1")).toDouble(figure.right() + 14), FloorY)),
            PropFill, 4);
    } else if (kind == QLatin1String("chair")) {
        DrawChair(p, prop, body, front);
    } else if (kind == QLatin1String("chairback")) {
        DrawChairBack(
            p, PropPoint(prop.value(QLatin1String("at")), body) + Offset(prop) + QPointF(0, 6),
            prop.value(QLatin1String("side")).toDouble(1));
    } else if (kind == QLatin1String("wall")) {
        DrawWall(p, prop.value(QLatin1String("x")).toDouble());
    } else if (kind == QLatin1String("step")) {
        // Under a foot, or fixed at "x" with height "h": a block with its tread marked.
        const QString under = prop.value(QLatin1String("under")).toString();
        double top = 0, x = prop.value(QLatin1String("x")).toDouble();
        if (under.isEmpty()) {
            top = FloorY - prop.value(QLatin1String("h")).toDouble();
        } else {
            top = LowestNear(body, under);
            x = body.Points.value(under).x();
        }
        Box(p, QRectF(QPointF(x - 36, top), QPointF(x + 36, FloorY)), PropFill, 2);
        StrokeLine(p, {x - 34, top + 6}, {x + 34, top + 6}, 1.6, FarInk);
    } else if (kind == QLatin1String("ball")) {
        const double r = prop.value(QLatin1String("r")).toDouble(20);
        QPointF c = PropPoint(prop.value(QLatin1String("at")), body) + Offset(prop);
        if (prop.value(QLatin1String("floor")).toBool())
            c.setY(f.Surface - r - 1); // a roll resting on the floor under the point
        p.setPen(QPen(Ink, 2.6));
        p.setBrush(PropFill);
        p.drawEllipse(c, r, r);
        // Seams, so it reads as a ball and not a hole.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(FarInk, 1.6));
        p.drawArc(QRectF(c - QPointF(r * 0.45, r), QSizeF(r * 0.9, r * 2)), 0, 180 * 16);
        p.drawArc(QRectF(c - QPointF(r, r * 0.35), QSizeF(r * 2, r * 0.7)), 180 * 16, 180 * 16);
    } else if (kind == QLatin1String("band") || kind == QLatin1String("towel")) {
        const QJsonValue fromValue = prop.value(QLatin1String("from"));
        const QPointF a = PropPoint(fromValue, body);
        const QPointF b = PropPoint(prop.value(QLatin1String("to")), body);
        const bool towel = kind == QLatin1String("towel");
        Strap(p, a, b, towel ? 9 : 3.5, towel ? Qt::white : QColor(0x9a, 0x9a, 0x9a));
        if (towel && QLineF(a, b).length() > 1) {
            // Stripes near the ends mark a towel.
            const QPointF u = (b - a) / QLineF(a, b).length(), n(-u.y() * 5, u.x() * 5);
            for (const QPointF end : {a + u * 6, b - u * 6})
                StrokeLine(p, end - n, end + n, 1.6, FarInk);
        }
        if (fromValue.isArray()) {
            // Fixed end: the anchor (a door or a rail).
            p.setPen(Qt::NoPen);
            p.setBrush(Ink);
            p.drawRect(QRectF(a - QPointF(4, 6), QSizeF(8, 12)));
        }
    } else if (kind == QLatin1String("table")) {
        // A table top just under the given point (a resting forearm), legs to the floor.
        const QPointF at = PropPoint(prop.value(QLatin1String("under")), body) + Offset(prop);
        const double top = at.y() + ForearmWidth / 2 + Outline + 1;
        Strap(p, {at.x() - 46, top + 8}, {at.x() - 46, FloorY - 1}, 4, PropFill);
        Strap(p, {at.x() + 36, top + 8}, {at.x() + 36, FloorY - 1}, 4, PropFill);
        Box(p, QRectF(QPointF(at.x() - 55, top), QPointF(at.x() + 45, top + 8)), PropFill);
    } else if (kind == QLatin1String("weight")) {
        const QString at = prop.value(QLatin1String("at")).toString();
        DrawWeight(p, body.Points.value(at), body.Forearm[at.endsWith(QLatin1Char('L')) ? 1 : 0]);
    }
}

bool DrawnInFront(const QJsonObject& prop)
{
    const QString kind = prop.value(QLatin1String("kind")).toString();
    if (prop.contains(QLatin1String("front")))
        return prop.value(QLatin1String("front")).toBool();
    return kind == QLatin1String("band") || kind == QLatin1String("towel") ||
           kind == QLatin1String("weight");
}

void DrawFace(QPainter& p, const Body& b)
{
    // Angles on the painter's arcs: counter-clockwise from three o'clock.
    const double up = 90 - b.Neck;
    const QRectF skull(b.Head - QPointF(HeadRadius, HeadRadius),
                       QSizeF(2 * HeadRadius, 2 * HeadRadius));
    p.setPen(Qt::NoPen);
    p.setBrush(Hair);
    if (b.Front) {
        // A turned head: the hair, eyes and nose move towards the side it faces.
        const double turn = std::sin(b.Turn * M_PI / 180.0);
        p.drawChord(skull, int((up - 70 - turn * 20) * 16), 140 * 16);
        const QPointF across = Dir(b.Neck + 90);
        const QPointF upward = Dir(b.Neck) * 2;
        const double apart = 5.5 * std::cos(b.Turn * M_PI / 180.0);
        p.setBrush(Ink);
        p.drawEllipse(b.Head + across * (turn * 8 - apart) + upward, 1.9, 1.9);
        p.drawEllipse(b.Head + across * (turn * 8 + apart) + upward, 1.9, 1.9);
        p.setPen(QPen(Ink, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(b.Head + across * (turn * 8 - 3) - upward * 3.2,
                   b.Head + across * (turn * 8 + 3) - upward * 3.2);
        if (std::abs(turn) > 0.2) {
            p.setPen(QPen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(b.Head + across * (turn * 13) - upward * 0.5,
                       b.Head + across * (turn * 16) - upward * 2);
        }
        return;
    }
    // Seen from the side, the hair covers the back of the head and the face is bare.
    p.drawChord(skull, int((up - 35) * 16), 175 * 16);
    const QPointF front = Dir(b.Neck + 90);
    const QPointF upward = Dir(b.Neck);
    p.setBrush(Ink);
    p.drawEllipse(b.Head + front * 8 + upward * 3, 1.9, 1.9);
    p.setPen(QPen(Ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(b.Head + front * 8 - upward * 7, b.Head + front * 12 - upward * 6);
    // The nose shows which way the head faces.
    QPainterPath nose;
    nose.moveTo(b.Head + front * (HeadRadius - 1) + upward * 2);
    nose.lineTo(b.Head + front * (HeadRadius + 4) - upward * 2);
    nose.lineTo(b.Head + front * (HeadRadius - 1) - upward * 4);
    p.setPen(QPen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(BodyFill);
    p.drawPath(nose);
}

// One piece, grown by `grow` on every side: a tapered limb or the foot's polygon.
void DrawPiece(QPainter& p, const Piece& c, double grow)
{
    if (!c.Shape.isEmpty()) {
        if (grow > 0)
            p.setPen(QPen(p.brush().color(), 2 * grow, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        else
            p.setPen(Qt::NoPen);
        p.drawPolygon(c.Shape);
        p.setPen(Qt::NoPen);
        return;
    }
    const double ra = c.WidthA / 2 + grow, rb = c.WidthB / 2 + grow;
    p.drawEllipse(c.A, ra, ra);
    p.drawEllipse(c.B, rb, rb);
    const QLineF line(c.A, c.B);
    if (line.length() < 0.01)
        return;
    const QPointF n = QPointF(-line.dy(), line.dx()) / line.length();
    p.drawPolygon(QPolygonF{c.A + n * ra, c.B + n * rb, c.B - n * rb, c.A - n * ra});
}

// The figure: each layer first as a dark silhouette a little larger than the body, then
// filled, so overlapping pieces of one layer merge into one outlined shape. A ghost is
// the faint start pose drawn under the figure.
void DrawBody(QPainter& p, const Body& b, bool ghost = false)
{
    p.setPen(Qt::NoPen);
    for (int layer = 0; layer < 3; ++layer) {
        const bool far = layer == 0 && !b.Front;
        const QColor ink = ghost ? GhostInk : far ? FarInk : Ink;
        const double outline = ghost ? 1.4 : Outline;
        p.setBrush(ink);
        for (const Piece& c : b.Pieces) {
            if (c.Layer == layer)
                DrawPiece(p, c, outline);
        }
        if (layer == 1)
            p.drawEllipse(b.Head, HeadRadius + outline, HeadRadius + outline);
        for (const Piece& c : b.Pieces) {
            if (c.Layer == layer) {
                p.setBrush(ghost      ? QColor(Qt::white)
                           : c.Moving ? MoveFill
                           : far      ? FarFill
                                      : BodyFill);
                DrawPiece(p, c, 0);
            }
        }
        if (layer == 1) {
            p.setBrush(ghost ? QColor(Qt::white) : b.HeadMoving ? MoveFill : BodyFill);
            p.drawEllipse(b.Head, HeadRadius, HeadRadius);
            if (!ghost)
                DrawFace(p, b);
            p.setPen(Qt::NoPen);
        }
    }
}

void DrawTrace(QPainter& p, const Art& art, double t)
{
    QPolygonF path;
    for (double s = 0; s < t; s += 0.05)
        path << Pose(art, s).Figure.Points.value(art.Trace);
    path << Pose(art, t).Figure.Points.value(art.Trace);
    if (path.size() < 3 || QLineF(path.first(), path.last()).length() < 12)
        return;
    // Stop short of the moving part so the arrow stays visible beside it.
    while (path.size() > 2 && QLineF(path.at(path.size() - 2), path.last()).length() < 14)
        path.removeAt(path.size() - 2);
    const QPointF tip = path.last() - (path.last() - path.at(path.size() - 2)) * 0.35;
    path.last() = tip;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ArrowInk, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(path);
    const QLineF last(path.at(path.size() - 2), tip);
    const double angle = std::atan2(last.dy(), last.dx());
    QPolygonF head;
    head << tip + QPointF(std::cos(angle), std::sin(angle)) * 4
         << tip - QPointF(std::cos(angle - 0.5), std::sin(angle - 0.5)) * 12
         << tip - QPointF(std::cos(angle + 0.5), std::sin(angle + 0.5)) * 12;
    p.setPen(Qt::NoPen);
    p.setBrush(ArrowInk);
    p.drawPolygon(head);
}

void CheckPoint(const QJsonValue& v, const QString& where)
{
    if (v.isArray() && v.toArray().size() == 2)
        return;
    if (!PointNames().contains(v.toString()))
        throw SourceError(QStringLiteral("%1: unknown body point \"%2\"").arg(where, v.toString()));
}

QList<QJsonObject> ParseProps(const QJsonValue& v, const QString& where)
{
    QList<QJsonObject> props;
    for (const QJsonValue& item : v.toArray()) {
        const QJsonObject prop = item.toObject();
        const QString kind = prop.value(QLatin1String("kind")).toString();
        if (!PropKinds.contains(kind))
            throw SourceError(QStringLiteral("%1: unknown prop \"%2\"").arg(where, kind));
        for (const char* key : {"at", "from", "to", "under"}) {
            if (prop.contains(QLatin1String(key)))
                CheckPoint(prop.value(QLatin1String(key)), where);
        }
        props << prop;
    }
    return props;
}

} // namespace

Art ParseArt(const QJsonObject& o)
{
    Art art;
    const QString view = o.value(QLatin1String("view")).toString(QStringLiteral("side"));
    if (view != QLatin1String("side") && view != QLatin1String("front") &&
        view != QLatin1String("top"))
        throw SourceError(QStringLiteral("unknown view \"%1\"").arg(view));
    // From above, the figure is laid out as from the front, lying in the picture's plane.
    art.Top = view == QLatin1String("top");
    art.Front = view == QLatin1String("front") || art.Top;
    art.Props = ParseProps(o.value(QLatin1String("props")), QStringLiteral("props"));
    const QJsonArray poses = o.value(QLatin1String("poses")).toArray();
    if (poses.size() != 3)
        throw SourceError(QStringLiteral("there must be three poses (start, middle, end)"));
    QSet<QString> known{QStringLiteral("torso"), QStringLiteral("neck"), QStringLiteral("turn"),
                        QStringLiteral("sit"),   QStringLiteral("x"),    QStringLiteral("y"),
                        QStringLiteral("props")};
    for (const QStringList* names : {&RelativeJoints, &AbsoluteSegments}) {
        for (const QString& n : *names)
            known << n << n + QLatin1Char('R') << n + QLatin1Char('L');
    }
    for (int i = 0; i < 3; ++i) {
        const QJsonObject pose = poses.at(i).toObject();
        const QString where = QStringLiteral("pose %1").arg(i + 1);
        for (auto it = pose.begin(); it != pose.end(); ++it) {
            if (!known.contains(it.key()))
                throw SourceError(QStringLiteral("%1: unknown angle \"%2\"").arg(where, it.key()));
            if (it.key() == QLatin1String("props"))
                art.Poses[i].Props = ParseProps(it.value(), where);
            else if (!it.value().isDouble())
                throw SourceError(
                    QStringLiteral("%1: \"%2\" must be a number").arg(where, it.key()));
            else if (it.key() == QLatin1String("x"))
                art.Poses[i].X = it.value().toDouble();
            else if (it.key() == QLatin1String("y"))
                art.Poses[i].Y = it.value().toDouble();
            else
                art.Poses[i].Angles.insert(it.key(), it.value().toDouble());
        }
    }
    if (o.contains(QLatin1String("fix"))) {
        const QJsonObject fix = o.value(QLatin1String("fix")).toObject();
        art.FixPoint = fix.value(QLatin1String("point")).toString();
        art.FixX = fix.value(QLatin1String("x")).toDouble();
        CheckPoint(art.FixPoint, QStringLiteral("fix"));
    }
    art.Ground = o.value(QLatin1String("ground")).toString();
    art.GroundHeight = o.value(QLatin1String("groundHeight")).toDouble();
    if (!art.Ground.isEmpty())
        CheckPoint(art.Ground, QStringLiteral("ground"));
    art.Trace = o.value(QLatin1String("trace")).toString();
    if (!art.Trace.isEmpty())
        CheckPoint(art.Trace, QStringLiteral("trace"));
    return art;
}

void DrawScene(QPainter& p, const Art& art, double t, bool withTrace)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    if (!art.Top)
        StrokeLine(p, {4, FloorY + 1.5}, {SceneWidth - 4, FloorY + 1.5}, 2.5,
                   QColor(0x90, 0x90, 0x90));
    const Placement place = Fit(art);
    p.save();
    p.translate(SceneWidth / 2, place.AnchorY);
    p.scale(place.Scale, place.Scale);
    p.translate(-SceneWidth / 2 + place.Shift, -place.AnchorY + place.ShiftY);
    const Frame f = Pose(art, t);
    for (const QJsonObject& prop : f.Props) {
        if (!DrawnInFront(prop))
            DrawProp(p, prop, f, art, place.Figure);
    }
    // A later picture shows where the movement started, and its path.
    if (withTrace && t > 0.5)
        DrawBody(p, Pose(art, 0).Figure, true);
    if (withTrace && !art.Trace.isEmpty())
        DrawTrace(p, art, t);
    DrawBody(p, f.Figure);
    for (const QJsonObject& prop : f.Props) {
        if (DrawnInFront(prop))
            DrawProp(p, prop, f, art, place.Figure);
    }
    p.restore();
}

QImage RenderScene(const Art& art, double t, int width, int height, bool withTrace)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.scale(width / SceneWidth, height / SceneHeight);
    DrawScene(p, art, t, withTrace);
    p.end();
    return image;
}

} // namespace mediagen
