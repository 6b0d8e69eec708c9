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
constexpr double SideTorsoWidth = 30, FrontTorsoWidth = 42, NeckWidth = 10;
constexpr double UpperArmWidth = 13, ForearmWidth = 11, ThighWidth = 18, ShinWidth = 14, FootWidth = 9;
constexpr double Outline = 2.6;
constexpr double MatHeight = 9;
constexpr double SceneMargin = 8;

// Joint angles relative to the parent segment, and absolute segment directions.
const QStringList RelativeJoints{QStringLiteral("shoulder"), QStringLiteral("elbow"), QStringLiteral("wrist"),
                                 QStringLiteral("hip"),      QStringLiteral("knee"),  QStringLiteral("ankle")};
const QStringList AbsoluteSegments{QStringLiteral("arm"),   QStringLiteral("forearm"), QStringLiteral("hand"),
                                   QStringLiteral("thigh"), QStringLiteral("shin"),    QStringLiteral("foot")};
const QStringList PropKinds{QStringLiteral("mat"),  QStringLiteral("chair"), QStringLiteral("chairback"),
                            QStringLiteral("wall"), QStringLiteral("step"),  QStringLiteral("ball"),
                            QStringLiteral("band"), QStringLiteral("towel"), QStringLiteral("weight"),
                            QStringLiteral("table")};

const QStringList& PointNames()
{
    static const QStringList names = [] {
        QStringList n{QStringLiteral("hip"), QStringLiteral("neck"), QStringLiteral("head"),
                      QStringLiteral("chest")};
        for (const char* p : {"shoulder", "elbow", "wrist", "hand", "hipjoint", "knee", "ankle", "toe", "heel",
                              "foot"}) {
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
        s.Foot[side] = pick("foot", front ? s.Shin[side] - k * 75 : s.Shin[side] - 90 - rel("ankle"));
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

struct Capsule
{
    QPointF A, B;
    double Width;
    int Layer; // 0 behind the body, 1 the body, 2 in front
};

struct Body
{
    QHash<QString, QPointF> Points;
    QList<Capsule> Capsules;
    QPointF Head;
    double Neck = 0, Turn = 0;
    double Forearm[2]{};
    bool Front = false;

    void Move(QPointF by)
    {
        for (auto it = Points.begin(); it != Points.end(); ++it)
            it.value() += by;
        for (Capsule& c : Capsules) {
            c.A += by;
            c.B += by;
        }
        Head += by;
    }
    QRectF Bounds() const
    {
        QRectF r(Head - QPointF(HeadRadius, HeadRadius), QSizeF(2 * HeadRadius, 2 * HeadRadius));
        for (const Capsule& c : Capsules) {
            const double h = c.Width / 2 + Outline;
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
                        body.Points.value(QStringLiteral("heel") + side).y()) + h;
    }
    return body.Points.value(point).y() + 8;
}

Body Layout(const Segments& s, bool front)
{
    Body b;
    b.Front = front;
    b.Neck = s.Neck;
    b.Turn = s.Turn;
    const QPointF hip(0, 0);
    const QPointF neck = hip + Dir(s.Torso) * TorsoLength;
    const QPointF across = Dir(s.Torso + 90);
    b.Points[QStringLiteral("hip")] = hip;
    b.Points[QStringLiteral("neck")] = neck;
    b.Points[QStringLiteral("chest")] = hip + Dir(s.Torso) * (TorsoLength * 0.65);
    b.Head = neck + Dir(s.Neck) * (NeckLength + HeadRadius);
    b.Points[QStringLiteral("head")] = b.Head;
    const double torsoWidth = front ? FrontTorsoWidth : SideTorsoWidth;
    b.Capsules << Capsule{hip + Dir(s.Torso) * 4, neck - Dir(s.Torso) * 6, torsoWidth, 1};
    b.Capsules << Capsule{neck - Dir(s.Torso) * 4, neck + Dir(s.Neck) * NeckLength, NeckWidth, 1};
    for (int side = 0; side < 2; ++side) {
        const QChar tag = side == 0 ? QLatin1Char('R') : QLatin1Char('L');
        // Side view: the right side is nearer to the viewer. Front view: legs go under the
        // torso, arms in front of it.
        const int armLayer = front ? 2 : (side == 0 ? 2 : 0);
        const int legLayer = front ? 0 : (side == 0 ? 2 : 0);
        const double spread = front ? (side == 0 ? -1.0 : 1.0) : 0.0;
        const QPointF shoulder = neck - Dir(s.Torso) * 8 + across * (spread * 15);
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
        b.Capsules << Capsule{hipJoint, knee, ThighWidth, legLayer} << Capsule{knee, ankle, ShinWidth, legLayer}
                   << Capsule{heel, toe, FootWidth, legLayer};
        b.Capsules << Capsule{shoulder, elbow, UpperArmWidth, armLayer}
                   << Capsule{elbow, wrist, ForearmWidth, armLayer}
                   << Capsule{wrist + Dir(s.Hand[side]) * 2, hand, HandWidth, armLayer};
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
    return std::any_of(props.begin(), props.end(),
                       [kind](const QJsonObject& p) { return p.value(QLatin1String("kind")).toString() == QLatin1String(kind); });
}

// One frame, laid out: the body in scene units and the props in force.
struct Frame
{
    Body Figure;
    QList<QJsonObject> Props;
    double Surface = FloorY;
};

double AutoX(const Art& art)
{
    const Body b = Layout(Resolve(art.Poses[0].Angles, art.Front), art.Front);
    const QRectF r = b.Bounds();
    return SceneWidth / 2 - r.center().x();
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
    f.Figure = Layout(Blend(Resolve(p.Angles, art.Front), Resolve(q.Angles, art.Front), u), art.Front);
    f.Surface = HasProp(f.Props, "mat") ? FloorY - MatHeight : FloorY;

    const double x0 = p.X.value_or(AutoX(art)), x1 = q.X.value_or(AutoX(art));
    double y = 0;
    if (p.Y && q.Y) {
        y = *p.Y + (*q.Y - *p.Y) * u;
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
        const QPointF hip = body.Points.value(QStringLiteral("hip"));
        return QRectF(hip.x() - 34, hip.y() - 80, 68, FloorY - hip.y() + 80);
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

// Scale that keeps every frame of the exercise inside the picture, about the floor's middle.
double FitScale(const Art& art)
{
    QRectF all;
    for (int k = 0; k <= 8; ++k) {
        const Frame f = Pose(art, k * 0.25);
        all |= f.Figure.Bounds();
        for (const QJsonObject& prop : f.Props)
            all |= PropBounds(prop, f.Figure);
    }
    const double cx = SceneWidth / 2;
    double s = 1.0;
    if (all.top() < SceneMargin)
        s = std::min(s, (FloorY - SceneMargin) / (FloorY - all.top()));
    if (all.left() < SceneMargin)
        s = std::min(s, (cx - SceneMargin) / (cx - all.left()));
    if (all.right() > SceneWidth - SceneMargin)
        s = std::min(s, (cx - SceneMargin) / (all.right() - cx));
    return s;
}

const QColor Ink(0x1e, 0x1e, 0x1e);
const QColor FarInk(0x80, 0x80, 0x80);
const QColor FarFill(0xee, 0xee, 0xee);
const QColor PropFill(0xe6, 0xe6, 0xe6);

void StrokeLine(QPainter& p, QPointF a, QPointF b, double width, const QColor& color)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(a, b);
}

// Outlined band: a dark edge with a light core, like a drawn strap.
void Strap(QPainter& p, QPointF a, QPointF b, double width, const QColor& fill)
{
    StrokeLine(p, a, b, width + 2 * 2.0, Ink);
    StrokeLine(p, a, b, width, fill);
}

void Box(QPainter& p, const QRectF& r, const QColor& fill = Qt::white)
{
    p.setPen(QPen(Ink, 2.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(fill);
    p.drawRect(r);
}

void DrawChair(QPainter& p, const QJsonObject& prop, const Body& body, bool front)
{
    // Under the hips, or standing still at "x"/"y" while the figure rises from it.
    QPointF hip = body.Points.value(QStringLiteral("hip"));
    double seat = hip.y() + ThighWidth / 2 + Outline + 1.5;
    if (prop.contains(QLatin1String("x"))) {
        hip.setX(prop.value(QLatin1String("x")).toDouble());
        seat = prop.value(QLatin1String("y")).toDouble();
    }
    if (front) {
        Box(p, QRectF(hip.x() - 34, seat, 68, 7), PropFill);
        StrokeLine(p, {hip.x() - 28, seat + 7}, {hip.x() - 28, FloorY}, 4, Ink);
        StrokeLine(p, {hip.x() + 28, seat + 7}, {hip.x() + 28, FloorY}, 4, Ink);
        return;
    }
    // The chair faces the same way as the figure: its back is behind the hips.
    const double back = hip.x() - 30;
    Box(p, QRectF(back, seat, 60, 7), PropFill);
    StrokeLine(p, {back + 3, seat}, {back - 4, seat - 78}, 5, Ink);
    StrokeLine(p, {back + 3, seat + 7}, {back + 3, FloorY}, 4, Ink);
    StrokeLine(p, {back + 55, seat + 7}, {back + 55, FloorY}, 4, Ink);
}

void DrawChairBack(QPainter& p, QPointF top, double side)
{
    // A chair standing in front of the figure, its back rest under the hands.
    const double seat = FloorY - 64;
    const double far = top.x() + side * 50;
    StrokeLine(p, top, {top.x(), FloorY}, 5, Ink);
    Box(p, QRectF(QPointF(std::min(top.x(), far), seat), QPointF(std::max(top.x(), far), seat + 7)), PropFill);
    StrokeLine(p, {far, seat + 7}, {far, FloorY}, 4, Ink);
    StrokeLine(p, {top.x() - 7, top.y()}, {top.x() + 7, top.y()}, 5, Ink);
}

void DrawWall(QPainter& p, double x)
{
    const double side = x > SceneWidth / 2 ? 1 : -1;
    StrokeLine(p, {x, 6}, {x, FloorY}, 3.5, Ink);
    p.setPen(QPen(FarInk, 1.5));
    for (double y = 14; y < FloorY; y += 14)
        p.drawLine(QPointF(x, y), QPointF(x + side * 9, y - 9));
}

void DrawWeight(QPainter& p, QPointF at, double forearm)
{
    const QPointF along = Dir(forearm + 90) * 11;
    StrokeLine(p, at - along, at + along, 4, Ink);
    for (const QPointF end : {at - along, at + along})
        StrokeLine(p, end - Dir(forearm) * 0.1, end + Dir(forearm) * 0.1, 13, Ink);
}

void DrawProp(QPainter& p, const QJsonObject& prop, const Frame& f, bool front)
{
    const QString kind = prop.value(QLatin1String("kind")).toString();
    const Body& body = f.Figure;
    if (kind == QLatin1String("mat")) {
        Box(p, QRectF(QPointF(prop.value(QLatin1String("x0")).toDouble(22), FloorY - MatHeight),
                      QPointF(prop.value(QLatin1String("x1")).toDouble(SceneWidth - 22), FloorY)),
            PropFill);
    } else if (kind == QLatin1String("chair")) {
        DrawChair(p, prop, body, front);
    } else if (kind == QLatin1String("chairback")) {
        DrawChairBack(p, PropPoint(prop.value(QLatin1String("at")), body) + Offset(prop) + QPointF(0, 6),
                      prop.value(QLatin1String("side")).toDouble(1));
    } else if (kind == QLatin1String("wall")) {
        DrawWall(p, prop.value(QLatin1String("x")).toDouble());
    } else if (kind == QLatin1String("step")) {
        // Under a foot, or fixed at "x" with height "h".
        const QString under = prop.value(QLatin1String("under")).toString();
        double top = 0, x = prop.value(QLatin1String("x")).toDouble();
        if (under.isEmpty()) {
            top = FloorY - prop.value(QLatin1String("h")).toDouble();
        } else {
            top = LowestNear(body, under);
            x = body.Points.value(under).x();
        }
        Box(p, QRectF(QPointF(x - 36, top), QPointF(x + 36, FloorY)), PropFill);
    } else if (kind == QLatin1String("ball")) {
        const double r = prop.value(QLatin1String("r")).toDouble(20);
        QPointF c = PropPoint(prop.value(QLatin1String("at")), body) + Offset(prop);
        if (prop.value(QLatin1String("floor")).toBool())
            c.setY(f.Surface - r - 1); // a roll resting on the floor under the point
        p.setPen(QPen(Ink, 2.6));
        p.setBrush(PropFill);
        p.drawEllipse(c, r, r);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(FarInk, 1.5));
        p.drawArc(QRectF(c - QPointF(r * 0.6, r * 0.6), QSizeF(r * 1.2, r * 1.2)), 100 * 16, 70 * 16);
    } else if (kind == QLatin1String("band") || kind == QLatin1String("towel")) {
        const QJsonValue fromValue = prop.value(QLatin1String("from"));
        const QPointF a = PropPoint(fromValue, body);
        const QPointF b = PropPoint(prop.value(QLatin1String("to")), body);
        const bool towel = kind == QLatin1String("towel");
        Strap(p, a, b, towel ? 8 : 3.5, towel ? Qt::white : QColor(0x9a, 0x9a, 0x9a));
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
        Box(p, QRectF(QPointF(at.x() - 55, top), QPointF(at.x() + 45, top + 7)), PropFill);
        StrokeLine(p, {at.x() - 48, top + 7}, {at.x() - 48, FloorY}, 4, Ink);
        StrokeLine(p, {at.x() + 38, top + 7}, {at.x() + 38, FloorY}, 4, Ink);
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
    return kind == QLatin1String("band") || kind == QLatin1String("towel") || kind == QLatin1String("weight");
}

void DrawFace(QPainter& p, const Body& b)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    if (b.Front) {
        // A turned head: the eyes move towards the side it faces, the nose shows.
        const double turn = std::sin(b.Turn * M_PI / 180.0);
        const QPointF across = Dir(b.Neck + 90);
        const QPointF up = Dir(b.Neck) * 3;
        p.drawEllipse(b.Head + across * (turn * 8 - 5.5 * std::cos(b.Turn * M_PI / 180.0)) + up, 1.8, 1.8);
        p.drawEllipse(b.Head + across * (turn * 8 + 5.5 * std::cos(b.Turn * M_PI / 180.0)) + up, 1.8, 1.8);
        if (std::abs(turn) > 0.2) {
            p.setPen(QPen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(b.Head + across * (turn * 13) - up * 0.3, b.Head + across * (turn * 16) - up * 1.3);
        }
        return;
    }
    const QPointF front = Dir(b.Neck + 90);
    const QPointF up = Dir(b.Neck);
    p.drawEllipse(b.Head + front * 8 + up * 3, 1.9, 1.9);
    // The nose shows which way the head faces.
    QPainterPath nose;
    nose.moveTo(b.Head + front * (HeadRadius - 1) + up * 2);
    nose.lineTo(b.Head + front * (HeadRadius + 4) - up * 2);
    nose.lineTo(b.Head + front * (HeadRadius - 1) - up * 4);
    p.setPen(QPen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(nose);
}

void DrawBody(QPainter& p, const Body& b)
{
    for (int layer = 0; layer < 3; ++layer) {
        const bool far = layer == 0 && !b.Front;
        for (const Capsule& c : b.Capsules) {
            if (c.Layer == layer)
                StrokeLine(p, c.A, c.B, c.Width + 2 * Outline, far ? FarInk : Ink);
        }
        if (layer == 1) {
            p.setPen(QPen(Ink, Outline * 2));
            p.setBrush(Qt::white);
            p.drawEllipse(b.Head, HeadRadius, HeadRadius);
        }
        for (const Capsule& c : b.Capsules) {
            if (c.Layer == layer)
                StrokeLine(p, c.A, c.B, c.Width, far ? FarFill : Qt::white);
        }
        if (layer == 1) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(b.Head, HeadRadius - Outline, HeadRadius - Outline);
            DrawFace(p, b);
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
    p.setPen(QPen(FarInk, 2.2, Qt::DashLine, Qt::RoundCap));
    p.drawPolyline(path);
    const QLineF last(path.at(path.size() - 2), tip);
    const double angle = std::atan2(last.dy(), last.dx());
    QPolygonF head;
    head << tip << tip - QPointF(std::cos(angle - 0.45), std::sin(angle - 0.45)) * 10
         << tip - QPointF(std::cos(angle + 0.45), std::sin(angle + 0.45)) * 10;
    p.setPen(Qt::NoPen);
    p.setBrush(FarInk);
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
    if (view != QLatin1String("side") && view != QLatin1String("front"))
        throw SourceError(QStringLiteral("unknown view \"%1\"").arg(view));
    art.Front = view == QLatin1String("front");
    art.Props = ParseProps(o.value(QLatin1String("props")), QStringLiteral("props"));
    const QJsonArray poses = o.value(QLatin1String("poses")).toArray();
    if (poses.size() != 3)
        throw SourceError(QStringLiteral("there must be three poses (start, middle, end)"));
    QSet<QString> known{QStringLiteral("torso"), QStringLiteral("neck"), QStringLiteral("turn"), QStringLiteral("sit"), QStringLiteral("x"), QStringLiteral("y"),
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
                throw SourceError(QStringLiteral("%1: \"%2\" must be a number").arg(where, it.key()));
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
    StrokeLine(p, {10, FloorY + 1.5}, {SceneWidth - 10, FloorY + 1.5}, 2, QColor(0xb4, 0xb4, 0xb4));
    const double s = FitScale(art);
    p.save();
    p.translate(SceneWidth / 2, FloorY);
    p.scale(s, s);
    p.translate(-SceneWidth / 2, -FloorY);
    const Frame f = Pose(art, t);
    for (const QJsonObject& prop : f.Props) {
        if (!DrawnInFront(prop))
            DrawProp(p, prop, f, art.Front);
    }
    if (withTrace && !art.Trace.isEmpty())
        DrawTrace(p, art, t);
    DrawBody(p, f.Figure);
    for (const QJsonObject& prop : f.Props) {
        if (DrawnInFront(prop))
            DrawProp(p, prop, f, art.Front);
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
