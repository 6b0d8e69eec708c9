#pragma once

#include "AppContext.h"
#include "OutputSurface.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPainter>
#include <QRectF>

namespace tramelle::test {

// One drawing call as a composer made it.
struct DrawOp
{
    QString kind; // "text", "line", "box", "fill", "picture", "cls"
    QString text;
    QRectF box; // text: x, y and the text's extent; picture: the target box
    QString font;
    double size = 0;
    bool bold = false;
    int page = 0;
};

// Records every drawing call with the font in use and the page it lands on.
class RecordingSurface : public OutputSurface
{
public:
    QList<DrawOp> Ops;
    QList<PageOrientation> PageOrientations{PageOrientation::Portrait};
    int Page = 0;
    bool Ended = false;

    void Line(double x1, double y1, double x2, double y2) override
    {
        Add("line", {}, QRectF(QPointF(x1, y1), QPointF(x2, y2)));
    }
    void Box(double x1, double y1, double x2, double y2) override
    {
        Add("box", {}, QRectF(QPointF(x1, y1), QPointF(x2, y2)));
    }
    void FillBox(double x1, double y1, double x2, double y2, const QColor&) override
    {
        Add("fill", {}, QRectF(QPointF(x1, y1), QPointF(x2, y2)));
    }
    void PaintPicture(const QImage&, double x, double y, double w, double h) override
    {
        Add("picture", {}, QRectF(x, y, w, h));
    }
    void Cls() override { Add("cls", {}, {}); }
    bool SetOrientation(PageOrientation orientation) override
    {
        PageOrientations[Page] = orientation;
        return true;
    }
    PageOrientation Orientation() const override { return PageOrientations.at(Page); }
    void NewPage() override
    {
        ++Page;
        PageOrientations.append(PageOrientations.last());
    }
    void EndDoc() override { Ended = true; }

    QList<DrawOp> Texts(int page = -1) const
    {
        QList<DrawOp> out;
        for (const DrawOp& op : Ops)
            if (op.kind == QLatin1String("text") && (page < 0 || op.page == page))
                out << op;
        return out;
    }
    QList<DrawOp> Pictures(int page = -1) const
    {
        QList<DrawOp> out;
        for (const DrawOp& op : Ops)
            if (op.kind == QLatin1String("picture") && (page < 0 || op.page == page))
                out << op;
        return out;
    }
    // The first text op whose text starts with the prefix, or an empty op.
    DrawOp FindText(const QString& prefix, int page = -1) const
    {
        for (const DrawOp& op : Texts(page))
            if (op.text.startsWith(prefix))
                return op;
        return {};
    }

protected:
    void DrawText(double x, double y, const QString& text) override
    {
        Add("text", text, QRectF(x, y, TextWidth(text), TextHeight(text)));
    }

private:
    void Add(const char* kind, const QString& text, const QRectF& box)
    {
        Ops.append(
            {QString::fromLatin1(kind), text, box, FontName(), FontSize(), FontBold(), Page});
    }
};

// Writes a small picture, distinct per name, for the composers to load.
inline void WritePicture(const QString& folder, const QString& name,
                         QColor colour = QColor(90, 140, 200))
{
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(20, 20, 120, 80, colour);
    p.end();
    image.save(QDir(folder).filePath(name), "JPG");
}

// A program of n exercises: exercise i has id 100 + i, code "C<i+1>", three pictures
// named "<id>_<k>.JPG" and a short instruction under each.
inline void FillProgram(AppContext& ctx, int n)
{
    ctx.Program = ProgramState();
    ctx.Program.PatientName = QStringLiteral("Doe, Jane");
    ctx.Program.Usage = QStringLiteral("Home");
    ctx.Program.Provider = QStringLiteral("Dr. Kim");
    ctx.Program.Date = QDateTime(QDate(2026, 12, 8), QTime(0, 0));
    ctx.Program.EntryCount = static_cast<qint16>(n);
    for (int i = 0; i < n; ++i) {
        ProgramEntry& e = ctx.Program.Entries[i];
        const int id = 100 + i;
        e.ExerciseID = id;
        e.code = QStringLiteral("C%1").arg(i + 1);
        e.Desc = QStringLiteral("Exercise number %1").arg(i + 1);
        e.Reps = 10;
        e.Hold = 5;
        e.Sets = 3;
        e.Picture0 = QStringLiteral("%1_1.JPG").arg(id);
        e.Picture1 = QStringLiteral("%1_2.JPG").arg(id);
        e.Picture2 = QStringLiteral("%1_3.JPG").arg(id);
        e.Instruct0 = QStringLiteral("Start position %1").arg(i + 1);
        e.Instruct1 = QStringLiteral("Move slowly");
        e.Instruct2 = QStringLiteral("Return");
    }
    ctx.Clinic.Name = QStringLiteral("Riverside Physio");
    ctx.Clinic.Phone = QStringLiteral("555-0100");
}

inline void WriteProgramPictures(const QString& folder, int n)
{
    for (int i = 0; i < n; ++i)
        for (int k = 1; k <= 3; ++k)
            WritePicture(folder, QStringLiteral("%1_%2.JPG").arg(100 + i).arg(k));
}

// The three instructions of the delivered library's exercises whose instructions are the
// longest, longest first.
inline QList<QStringList> LongestDeliveredInstructions(int n)
{
    QFile file(QStringLiteral(TRAMELLE_RESOURCES_DIR "/exercises.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> all;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    for (const auto& value : root.value(QStringLiteral("exercises")).toArray()) {
        const QJsonObject e = value.toObject();
        all.append({e.value(QStringLiteral("Instruct0")).toString(),
                    e.value(QStringLiteral("Instruct1")).toString(),
                    e.value(QStringLiteral("Instruct2")).toString()});
    }
    auto longest = [](const QStringList& l) {
        qsizetype m = 0;
        for (const QString& t : l)
            m = std::max(m, t.size());
        return m;
    };
    std::stable_sort(all.begin(), all.end(), [&](const QStringList& a, const QStringList& b) {
        return longest(a) > longest(b);
    });
    return all.mid(0, n);
}

// 75 characters of words too long for a row of a picture column.
inline QString LongWordsInstruction(int variant)
{
    const QString words[] = {QStringLiteral("Counterclockwise"), QStringLiteral("hyperextension"),
                             QStringLiteral("interphalangeal"),
                             QStringLiteral("sternocleidomastoid"),
                             QStringLiteral("Uncharacteristically")};
    QString text;
    for (int i = variant; text.size() < 75; ++i)
        text += words[i % 5] + QLatin1Char(' ');
    return text.left(75);
}

// A program of n exercises with the given instructions, cycled.
inline void SetInstructions(AppContext& ctx, const QList<QStringList>& instructions)
{
    for (int i = 0; i < ctx.Program.EntryCount; ++i) {
        const QStringList& texts = instructions.at(i % instructions.size());
        ProgramEntry& e = ctx.Program.Entries[i];
        e.Instruct0 = texts.value(0);
        e.Instruct1 = texts.value(1);
        e.Instruct2 = texts.value(2);
    }
}

} // namespace tramelle::test
