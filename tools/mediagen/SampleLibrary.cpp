#include "SampleLibrary.h"

#include "AviWriter.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QTextDocument>
#include <QThread>
#include <QUuid>
#include <algorithm>
#include <filesystem>
#include <future>
#include <vector>

using tramelle::DeliveredExercise;

namespace mediagen {

namespace {

// The icon is drawn from the middle picture: it shows the movement best.
constexpr qint16 IconPicture = 2;
constexpr int JpegQuality = 78;
constexpr int MovieJpegQuality = 55;

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw SourceError(QStringLiteral("Cannot read \"%1\": %2").arg(path, f.errorString()));
    return f.readAll();
}

void MakeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw SourceError(QStringLiteral("Cannot create the folder \"%1\"").arg(path));
}

QByteArray Jpeg(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", quality))
        throw SourceError(QStringLiteral("JPEG encoding failed"));
    return bytes;
}

// Writes only when the content changed, so an unchanged picture keeps its time stamp.
void WriteIfChanged(const QString& path, const QByteArray& bytes)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return;
    existing.close();
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
        throw SourceError(QStringLiteral("Cannot write \"%1\": %2").arg(path, out.errorString()));
}

double Ease(double u)
{
    return u * u * (3 - 2 * u);
}

// Replaces the creation date that the PDF writer stamps with a fixed one of the same
// length, so the offsets in the file stay right and the same text gives the same file.
QByteArray FixPdfDate(QByteArray pdf)
{
    static const QRegularExpression date(QStringLiteral("\\(D:(\\d{14})"));
    QString text = QString::fromLatin1(pdf);
    auto m = date.globalMatch(text);
    while (m.hasNext()) {
        const auto match = m.next();
        pdf.replace(match.capturedStart(1), 14, "20260101000000");
    }
    return pdf;
}

// The terms a row's Joint (each of its comma-separated parts), Motion and Type may use,
// from the source's "vocabulary"; a source without one accepts any term.
class Vocabulary
{
public:
    explicit Vocabulary(const QJsonObject& source)
    {
        const QJsonObject lists = source.value(QLatin1String("vocabulary")).toObject();
        for (const char* column : {"Joint", "Motion", "Type"}) {
            for (const QJsonValue& term : lists.value(QLatin1String(column)).toArray())
                m_terms[QLatin1String(column)].insert(term.toString());
        }
    }

    // Throws SourceError naming the first term of the row outside the vocabulary.
    void Check(const tramelle::LibraryEntry& e) const
    {
        if (m_terms.isEmpty())
            return;
        QList<QPair<QString, QString>> used{{QStringLiteral("Motion"), e.Motion},
                                            {QStringLiteral("Type"), e.Type}};
        for (const QString& joint : e.Joint.split(QLatin1Char(',')))
            used.prepend({QStringLiteral("Joint"), joint.trimmed()});
        for (const auto& [column, term] : used) {
            if (!m_terms.value(column).contains(term))
                throw SourceError(
                    QStringLiteral("the %1 \"%2\" is not in the vocabulary").arg(column, term));
        }
    }

private:
    QHash<QString, QSet<QString>> m_terms;
};

} // namespace

QList<SourceExercise> ReadExerciseSource(const QString& path)
{
    QJsonDocument doc;
    try {
        doc = tramelle::ReadJsonDocument(path);
    } catch (const tramelle::DbError& error) {
        throw SourceError(error.message());
    }
    const Vocabulary vocabulary(doc.object());
    QList<SourceExercise> result;
    QSet<qint32> seen;
    for (const QJsonValue& v : doc.object().value(QLatin1String("exercises")).toArray()) {
        QJsonObject o = v.toObject();
        const qint32 id = o.value(QLatin1String("ExerciseID")).toInt();
        const QString where =
            QStringLiteral("%1: exercise %2").arg(QFileInfo(path).fileName()).arg(id);
        try {
            if (seen.contains(id))
                throw SourceError(QStringLiteral("the number is used twice"));
            seen.insert(id);
            if (id >= tramelle::FirstUserExerciseID && id != tramelle::ProbeExerciseID)
                throw SourceError(
                    QStringLiteral("delivered exercises are numbered below %1 (or %2)")
                        .arg(tramelle::FirstUserExerciseID)
                        .arg(tramelle::ProbeExerciseID));
            const bool movie = o.value(QLatin1String("Movie")).toBool();
            o.insert(QStringLiteral("code"), QString::number(id));
            o.insert(QStringLiteral("Icon"), tramelle::IconFileName(id));
            for (int n = 1; n <= 3; ++n)
                o.insert(QStringLiteral("Picture%1").arg(n - 1), tramelle::PictureFileName(id, n));
            o.insert(QStringLiteral("Movie"), movie ? tramelle::MovieFileName(id) : QString());
            o.insert(QStringLiteral("IconSrc"), IconPicture);
            for (const char* key : {"VideoReps", "VideoHold", "VideoSets"}) {
                if (!o.contains(QLatin1String(key)))
                    o.insert(QLatin1String(key), 0);
            }
            SourceExercise e;
            e.Row = tramelle::DeliveredExerciseFromJson(o);
            const QStringList problems = tramelle::CheckDeliveredExercise(e.Row);
            if (!problems.isEmpty())
                throw SourceError(problems.join(QStringLiteral("; ")));
            vocabulary.Check(e.Row.Entry);
            e.Drawing = ParseArt(o.value(QLatin1String("art")).toObject());
            result << e;
        } catch (const SourceError& error) {
            throw SourceError(where + QStringLiteral(": ") + QString::fromStdString(error.what()));
        } catch (const tramelle::DbError& error) {
            throw SourceError(where + QStringLiteral(": ") + error.message());
        }
    }
    if (result.isEmpty())
        throw SourceError(QStringLiteral("\"%1\" holds no exercises").arg(path));
    return result;
}

QList<QByteArray> MovieFrames(const Art& art)
{
    // Start through the middle to the end in one eased sweep, a short hold, the same way
    // back, a short hold: one repetition of under three seconds that loops smoothly.
    constexpr int Sweep = 14, Hold = 3;
    QList<double> times;
    for (int i = 0; i < Sweep; ++i)
        times << 2 * Ease(i / double(Sweep));
    for (int i = 0; i < Hold; ++i)
        times << 2;
    for (int i = 0; i < Sweep; ++i)
        times << 2 - 2 * Ease(i / double(Sweep));
    for (int i = 0; i < Hold; ++i)
        times << 0;
    QList<QByteArray> frames;
    for (double t : times)
        frames << Jpeg(RenderScene(art, t, MovieWidth, MovieHeight, false), MovieJpegQuality);
    return frames;
}

void WriteSampleMedia(const QList<SourceExercise>& exercises, const QString& mediaFolder,
                      const QString& deliveredFolder)
{
    const QString pictures = tramelle::JoinPath(mediaFolder, QStringLiteral("Picture"));
    const QString movies = tramelle::JoinPath(mediaFolder, QStringLiteral("Movie"));
    const QString icons = tramelle::JoinPath(deliveredFolder, QStringLiteral("ICON"));
    MakeFolder(pictures);
    MakeFolder(movies);
    MakeFolder(icons);
    auto draw = [&](const SourceExercise& e) {
        const qint32 id = e.Row.Entry.ExerciseID;
        for (int n = 1; n <= 3; ++n) {
            const QImage picture =
                RenderScene(e.Drawing, n - 1, PictureWidth, PictureHeight, n > 1);
            WriteIfChanged(tramelle::JoinPath(pictures, tramelle::PictureFileName(id, n)),
                           Jpeg(picture, JpegQuality));
            if (n == IconPicture) {
                const QImage icon =
                    RenderScene(e.Drawing, n - 1, PictureWidth, PictureHeight, false)
                        .scaled(IconWidth, IconHeight, Qt::IgnoreAspectRatio,
                                Qt::SmoothTransformation);
                WriteIfChanged(tramelle::JoinPath(icons, tramelle::IconFileName(id)),
                               Jpeg(icon, 90));
            }
        }
        if (!e.Row.Entry.Movie.isEmpty()) {
            const QString path = tramelle::JoinPath(movies, e.Row.Entry.Movie);
            WriteIfChanged(
                path, BuildMjpegAvi(MovieFrames(e.Drawing), MovieWidth, MovieHeight, MovieFps));
        }
    };
    // Every exercise's files depend on that exercise alone, so the work is shared out
    // over the processor's cores; a failure in any of them is raised here.
    const int workers = std::clamp(QThread::idealThreadCount(), 1, 4);
    std::vector<std::future<void>> running;
    for (int w = 0; w < workers; ++w) {
        running.push_back(std::async(std::launch::async, [&, w] {
            for (qsizetype i = w; i < exercises.size(); i += workers)
                draw(exercises.at(i));
        }));
    }
    for (std::future<void>& done : running)
        done.wait();
    for (std::future<void>& done : running)
        done.get();
    QList<DeliveredExercise> rows;
    for (const SourceExercise& e : exercises)
        rows << e.Row;
    try {
        tramelle::WriteDeliveredLibrary(
            tramelle::JoinPath(deliveredFolder, tramelle::DeliveredLibraryFileName), rows);
    } catch (const tramelle::DbError& error) {
        throw SourceError(error.message());
    }
}

void WritePatientInstructions(const QString& htmlPath, const QString& pdfPath)
{
    const QString html = QString::fromUtf8(ReadFile(htmlPath));
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Patient Instructions"));
        writer.setCreator(QStringLiteral("VMR Tramelle"));
        const double dpi = writer.resolution();
        const QRectF page(0, 0, 8.5 * dpi, 11 * dpi);
        const QRectF body = page.adjusted(0.9 * dpi, 0.8 * dpi, -0.9 * dpi, -0.7 * dpi);

        QTextDocument doc;
        doc.documentLayout()->setPaintDevice(&writer);
        doc.setDocumentMargin(0);
        // One page always: a longer text is set smaller rather than spilling onto a second.
        double points = 11.5;
        for (;; points -= 0.5) {
            QFont font(QStringLiteral("Arial"));
            font.setPointSizeF(points);
            doc.setDefaultFont(font);
            doc.setHtml(html);
            doc.setTextWidth(body.width());
            if (doc.size().height() <= body.height() || points <= 7)
                break;
        }
        if (doc.size().height() > body.height())
            throw SourceError(QStringLiteral("\"%1\" does not fit on one page").arg(htmlPath));
        QPainter painter(&writer);
        painter.translate(body.topLeft());
        doc.drawContents(&painter);
        painter.end();
    }
    pdf = FixPdfDate(pdf);
    MakeFolder(QFileInfo(pdfPath).absolutePath());
    WriteIfChanged(pdfPath, pdf);
}

void WriteLargeLibrary(int count, const QString& outFolder, const QString& mediaFolder,
                       const QString& deliveredFolder)
{
    using namespace tramelle;
    if (count < 1 || count > 32767)
        throw SourceError(QStringLiteral("The count must lie between 1 and 32767"));
    QList<DeliveredExercise> sample;
    QList<DeliveredPickList> lists;
    try {
        sample = ReadDeliveredLibrary(JoinPath(deliveredFolder, DeliveredLibraryFileName));
        lists = ReadDeliveredPickLists(JoinPath(deliveredFolder, DeliveredPickListsFileName));
    } catch (const DbError& error) {
        throw SourceError(error.message());
    }
    if (sample.isEmpty())
        throw SourceError(QStringLiteral("The sample library is empty"));
    MakeFolder(outFolder);
    for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist}) {
        if (QFileInfo::exists(JoinPath(outFolder, DbFileName(f))))
            throw SourceError(QStringLiteral("\"%1\" already holds %2; choose an empty folder")
                                  .arg(outFolder, DbFileName(f)));
    }
    const QString pictureLinks = JoinPath(outFolder, QStringLiteral("Picture"));
    const QString iconLinks = JoinPath(outFolder, QStringLiteral("ICON"));
    const QString movieLinks = JoinPath(outFolder, QStringLiteral("Movie"));
    MakeFolder(pictureLinks);
    MakeFolder(iconLinks);
    MakeFolder(movieLinks);
    // Hard links cost no space at all; across file systems a symbolic link will do.
    auto link = [](const QString& target, const QString& linkPath) {
        QFile::remove(linkPath);
        const std::filesystem::path from = QFileInfo(target).absoluteFilePath().toStdString();
        const std::filesystem::path to = linkPath.toStdString();
        std::error_code error;
        std::filesystem::create_hard_link(from, to, error);
        if (error)
            std::filesystem::create_symlink(from, to, error);
        if (error)
            throw SourceError(QStringLiteral("Cannot create the link \"%1\": %2")
                                  .arg(linkPath, QString::fromStdString(error.message())));
    };

    // The delivered rows, as every library holds them (a start adds any that are
    // missing), then copies under new numbers above them; the copies cycle through the
    // sample, each marked with its round so the short descriptions differ.
    constexpr qint32 FirstNumber = 1000;
    QList<DeliveredExercise> rows = sample;
    rows.reserve(sample.size() + count);
    for (const DeliveredExercise& row : sample) {
        const LibraryEntry& e = row.Entry;
        for (const QString& name : {e.Picture0, e.Picture1, e.Picture2})
            link(JoinPath(JoinPath(mediaFolder, QStringLiteral("Picture")), name),
                 JoinPath(pictureLinks, name));
        link(JoinPath(JoinPath(deliveredFolder, QStringLiteral("ICON")), e.Icon),
             JoinPath(iconLinks, e.Icon));
        if (!e.Movie.isEmpty())
            link(JoinPath(JoinPath(mediaFolder, QStringLiteral("Movie")), e.Movie),
                 JoinPath(movieLinks, e.Movie));
    }
    for (int i = 0; i < count; ++i) {
        const DeliveredExercise& from = sample.at(i % sample.size());
        const qint32 id = FirstNumber + i;
        DeliveredExercise row = from;
        LibraryEntry& e = row.Entry;
        e.ExerciseID = id;
        e.code = QString::number(id);
        const QString round = QString::number(i / sample.size() + 1);
        e.AbbrevDesc = from.Entry.AbbrevDesc.left(AbbrevDescLimit - round.size() - 1).trimmed() +
                       QLatin1Char(' ') + round;
        e.Icon = IconFileName(id);
        e.Picture0 = PictureFileName(id, 1);
        e.Picture1 = PictureFileName(id, 2);
        e.Picture2 = PictureFileName(id, 3);
        e.Movie = from.Entry.Movie.isEmpty() ? QString() : MovieFileName(id);
        const qint32 source = from.Entry.ExerciseID;
        for (int n = 1; n <= 3; ++n)
            link(JoinPath(JoinPath(mediaFolder, QStringLiteral("Picture")),
                          PictureFileName(source, n)),
                 JoinPath(pictureLinks, PictureFileName(id, n)));
        link(JoinPath(JoinPath(deliveredFolder, QStringLiteral("ICON")), IconFileName(source)),
             JoinPath(iconLinks, e.Icon));
        if (!e.Movie.isEmpty())
            link(JoinPath(JoinPath(mediaFolder, QStringLiteral("Movie")), from.Entry.Movie),
                 JoinPath(movieLinks, e.Movie));
        rows << row;
    }

    // Build the files under temporary names so a failure leaves none behind.
    const QString stamp = QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    auto temp = [&](DbFile f) {
        return JoinPath(outFolder, DbFileName(f) + QStringLiteral(".") + stamp);
    };
    const QString connection = QStringLiteral("large-library");
    try {
        for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist})
            CreateDatabaseFile(temp(f), f);
        {
            QSqlDatabase db = OpenConnection(temp(DbFile::Library), connection);
            InsertLibraryRows(db, rows);
        }
        CloseConnection(connection);
        {
            QSqlDatabase db = OpenConnection(temp(DbFile::Picklist), connection);
            InsertPickLists(db, lists);
        }
        CloseConnection(connection);
        for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist}) {
            if (!QFile::rename(temp(f), JoinPath(outFolder, DbFileName(f))))
                throw DbError(QStringLiteral("Cannot rename \"%1\"").arg(temp(f)));
        }
    } catch (const DbError& error) {
        CloseConnection(connection);
        for (DbFile f : {DbFile::Main, DbFile::Library, DbFile::Picklist})
            QFile::remove(temp(f));
        throw SourceError(error.message());
    }
}

} // namespace mediagen
