// Times the print preview of a 20-exercise program (5 pages, 60 pictures, zoom 0.75)
// against decoding those pictures alone, and writing the same sheets as a PDF; then
// leaves every printable document of a sample program as a PDF in the output folder.
//
//   bench_print [output-folder]
//
// Uses the delivered sample library and its pictures when the build has them, and
// draws placeholder pictures otherwise.
#include "AppContext.h"
#include "BenchTiming.h"
#include "Clinic.h"
#include "Database.h"
#include "Documents.h"
#include "LibraryCache.h"
#include "PainterSurfaces.h"
#include "Paths.h"
#include "PrintJobs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tramelle;
using namespace tramelle::bench;

namespace {

// Messages of the print runner go to the terminal.
class StderrPrompt : public NullPromptService
{
public:
    PromptAnswer Message(const QString& title, const QString& text, PromptIcon icon,
                         PromptButtons buttons, std::optional<PromptAnswer> defaultButton) override
    {
        std::fprintf(
            stderr, "[%s] %s\n", qPrintable(title),
            qPrintable(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
        return NullPromptService::Message(title, text, icon, buttons, defaultButton);
    }
};

// A placeholder exercise picture: a figure in one of three poses on a soft background.
void DrawPlaceholder(const QString& path, int exercise, int pose)
{
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(QColor(246, 248, 250));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(0, 400, 640, 80, QColor(222, 228, 234));
    const double lean = (pose - 1) * 0.35 + (exercise % 5) * 0.08;
    const QPointF hip(320, 300);
    const QPointF neck(hip.x() + 130 * std::sin(lean), hip.y() - 130 * std::cos(lean));
    QPen body(QColor(40, 70, 110), 22, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(body);
    p.drawLine(hip, neck);
    p.drawLine(hip, QPointF(270, 400));
    p.drawLine(hip, QPointF(370 + 30 * pose, 400 - 40 * (pose == 2)));
    p.drawLine(neck, neck + QPointF(-90, 30 + 40 * pose));
    p.drawLine(neck, neck + QPointF(90, -60 + 50 * pose));
    p.setBrush(QColor(40, 70, 110));
    p.drawEllipse(neck + QPointF(18 * std::sin(lean), -45 * std::cos(lean)), 30, 30);
    p.setPen(QPen(QColor(200, 80, 60), 6, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(hip.x() - 170, hip.y() - 230, 340, 340), 40 * 16, 100 * 16);
    p.end();
    image.save(path, "JPG", 90);
}

struct Sample
{
    QList<LibraryEntry> library;
    bool deliveredPictures = false;
};

// The delivered library when installed files and pictures exist, otherwise made-up
// exercises with drawn pictures in pictureFolder.
Sample LoadSample(AppContext& ctx, const QString& pictureFolder)
{
    Sample sample;
    try {
        InstallDeliveredFiles(ctx.AppFolder(), DeliveredFilesFolder());
        OpenDatabases(ctx);
        for (const Outcome& loaded : {LoadVendorContacts(ctx), LoadLibraryCache(ctx)})
            if (!loaded)
                qFatal("%s", qPrintable(loaded.Reason()));
        sample.library = ctx.Library.Entries.mid(0, ctx.Library.LibraryCount);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "delivered library not available: %s\n", e.what());
    }
    const QString media = JoinPath(ProductMediaFolder(), QStringLiteral("Picture"));
    int withPictures = 0;
    for (const LibraryEntry& e : sample.library)
        if (FileExistsAnyCase(JoinPath(media, e.Picture0)))
            ++withPictures;
    if (sample.library.size() >= 20 && withPictures >= 20) {
        ctx.Settings.PictureFolder = WithTrailingSlash(ResolvePath(media));
        sample.deliveredPictures = true;
        return sample;
    }

    static const char* const names[] = {"Ankle pumps",
                                        "Heel slides",
                                        "Quad sets",
                                        "Straight leg raise",
                                        "Bridging",
                                        "Clamshells",
                                        "Hamstring stretch",
                                        "Calf stretch",
                                        "Wall push-ups",
                                        "Shoulder rolls",
                                        "Chin tucks",
                                        "Pendulum swings",
                                        "Wrist curls",
                                        "Side-lying hip abduction",
                                        "Mini squats",
                                        "Step-ups",
                                        "Seated knee extension",
                                        "Prone press-ups",
                                        "Bird dog",
                                        "Cat and camel"};
    static const char* const steps[3][3] = {
        {"Lie on your back with the legs straight.", "Start seated, back straight, feet flat.",
         "Stand tall, holding a steady support."},
        {"Tighten the muscle slowly and hold the position.", "Move through the range without pain.",
         "Keep the trunk still while the limb moves."},
        {"Relax and return to the start.", "Breathe out as you return.", "Rest between sets."}};
    sample.library.clear();
    for (int i = 0; i < 20; ++i) {
        LibraryEntry e;
        e.ExerciseID = 900 + i;
        e.code = QStringLiteral("%1").arg(900 + i);
        e.Desc = QString::fromLatin1(names[i]);
        e.Reps = 10;
        e.Hold = 5;
        e.Sets = 2;
        QString* pictures[] = {&e.Picture0, &e.Picture1, &e.Picture2};
        QString* instructions[] = {&e.Instruct0, &e.Instruct1, &e.Instruct2};
        for (int k = 0; k < 3; ++k) {
            *pictures[k] = QStringLiteral("%1_%2.JPG").arg(e.ExerciseID).arg(k + 1);
            DrawPlaceholder(JoinPath(pictureFolder, *pictures[k]), i, k);
            *instructions[k] = QString::fromLatin1(steps[k][(i + k) % 3]);
        }
        sample.library << e;
    }
    ctx.Settings.PictureFolder = WithTrailingSlash(pictureFolder);
    return sample;
}

void SetProgram(AppContext& ctx, const QList<LibraryEntry>& exercises)
{
    ProgramState& p = ctx.Program;
    p = ProgramState();
    p.PatientID = 1;
    p.PatientName = QStringLiteral("Jane Doe");
    p.Usage = QStringLiteral("Home program");
    p.Provider = QStringLiteral("Dr. A. Kim, PT");
    p.Date = QDateTime(QDate(2026, 12, 8), QTime(0, 0));
    p.EntryCount = static_cast<qint16>(std::min<qsizetype>(exercises.size(), MaxProgramEntries));
    for (int i = 0; i < p.EntryCount; ++i)
        p.Entries[i] = exercises.at(i);
}

// The documents' sample: 12 exercises, some in the singular with no hold, one with
// only its first picture, two-digit numbers from the tenth on.
QList<LibraryEntry> DocumentProgram(const QList<LibraryEntry>& library)
{
    QList<LibraryEntry> program = library.mid(0, 12);
    for (int i = 0; i < program.size(); ++i) {
        LibraryEntry& e = program[i];
        if (i % 4 == 1) {
            e.Reps = 1;
            e.Hold = 0;
            e.Sets = 1;
        }
        if (i == 2) {
            e.Picture1.clear();
            e.Picture2.clear();
            e.Instruct1.clear();
            e.Instruct2.clear();
        }
    }
    if (program.size() > 5)
        program[5].Instruct1 += QStringLiteral(" Keep the knee in line with the second toe, "
                                               "and stop if the movement causes sharp pain.");
    return program;
}

// The order of the sample: two order lines, tax on, second-day shipping, paid
// by card; the first exercises have their videos so the tape grid and checksum fill.
void SetSampleOrder(AppContext& ctx)
{
    ProgramState& p = ctx.Program;
    p.BillAddr = QStringLiteral("Riverside Physical Therapy\r\nAccounts Payable\r\n"
                                "120 Mill Street, Suite 4\r\nRiverside, MA 01234");
    p.ShipAddr = QStringLiteral("Jane Doe\r\n48 Orchard Lane\r\nRiverside, MA 01234");
    p.ShipPhone = QStringLiteral("(555) 010-2288");
    p.ShipMethod = QStringLiteral("UPS 2-Day");
    p.PayMethod = QStringLiteral("VISA");
    p.CardNum = QStringLiteral("4111 1111 1111 1111");
    p.CardDate = QDateTime(QDate(2028, 9, 1), QTime(0, 0));
    p.NameOnCard = QStringLiteral("Riverside Physical Therapy");
    p.Tax = 5;
    p.OrderItems = {};
    p.OrderItems[0] = {QStringLiteral("VT-100"), QStringLiteral("Exercise video tape"), 1,
                       Currency::FromCents(3995)};
    p.OrderItems[1] = {QStringLiteral("TB-2"), QStringLiteral("Exercise band, medium"), 2,
                       Currency::FromCents(850)};
    p.OrderItemCount = 2;
    for (int i = 0; i < p.EntryCount; ++i) {
        ProgramEntry& e = p.Entries[std::size_t(i)];
        e.HasVideo = i % 3 != 2;
        e.VideoReps = 10;
        e.VideoHold = i % 2 == 0 ? 5 : 0;
        e.VideoSets = 2;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    QString outFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (outFolder.isEmpty()) {
        QTemporaryDir keep(QDir::temp().filePath(QStringLiteral("tramelle-print-XXXXXX")));
        keep.setAutoRemove(false);
        outFolder = keep.path();
    }
    if (!QDir().mkpath(outFolder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outFolder));
        return 1;
    }

    QTemporaryDir appFolder;
    QTemporaryDir pictureFolder;
    StderrPrompt prompt;
    AppContext ctx(appFolder.path());
    ctx.SetPromptService(&prompt);
    const Sample sample = LoadSample(ctx, pictureFolder.path());
    ctx.Clinic.Name = QStringLiteral("Riverside Physical Therapy");
    ctx.Clinic.Phone = QStringLiteral("(555) 010-4477");
    if (ctx.CoverText.isEmpty())
        ctx.CoverText = QStringLiteral(
            "Welcome to your home exercise program.\r\n\r\n"
            "Do each exercise as shown, at the repetitions, hold and sets written beside it.\r\n"
            "Move slowly and breathe normally; stop any exercise that causes sharp pain.\r\n\r\n"
            "Bring these sheets to your next visit.\r\n");
    ctx.Settings.PrintPatientCover = false;
    ctx.Settings.PrintCallVMR = true;
    std::printf("pictures: %s (%s)\n",
                sample.deliveredPictures ? "delivered sample library" : "drawn placeholders",
                qPrintable(ctx.Settings.PictureFolder));

    // --- the benchmark: 20 exercises, 4 per page, preview at 0.75 ---
    SetProgram(ctx, sample.library.mid(0, 20));
    QStringList files;
    for (int i = 0; i < ctx.Program.EntryCount; ++i) {
        const ProgramEntry& e = ctx.Program.Entries[i];
        for (const QString& name : {e.Picture0, e.Picture1, e.Picture2})
            if (!name.isEmpty())
                files << ResolvePath(JoinPath(ctx.Settings.PictureFolder, name));
    }
    // The floor decodes the pictures exactly as the preview does: through the preview
    // surface, for the boxes of the 4-per-page sheet at this zoom (2 x 1.5 inches).
    const double unitsPerInch = std::floor(0.75 * 1440.0);
    PreviewSurface decoder(0.75);
    QSize decodedSize;
    QSize fullSize;
    const Timing decode = Measure([&] {
        for (const QString& f : files) {
            const QImage picture = decoder.LoadPicture(f, 2 * unitsPerInch, 1.5 * unitsPerInch);
            if (picture.isNull())
                std::fprintf(stderr, "cannot read %s\n", qPrintable(f));
            decodedSize = picture.size();
        }
    });
    fullSize = QImageReader(files.value(0)).size();
    int pages = 0;
    auto composePreview = [&] {
        ctx.Geometry.PageScale = 0.75;
        ctx.Geometry.PreviewMode = true;
        PreviewSurface surface(ctx.Geometry.PageScale);
        if (!ComposeDocument(ctx, PrintJobKind::Exercises4, surface))
            qFatal("The sheets could not be composed.");
        surface.EndDoc();
        pages = static_cast<int>(surface.Pages().size());
        ctx.Geometry.PreviewMode = false;
    };
    const Timing compose = Measure(composePreview);
    const QString pictures = ctx.Settings.PictureFolder;
    ctx.Settings.PictureFolder = QDir(outFolder).filePath(QStringLiteral("no pictures here/"));
    const Timing furniture = Measure(composePreview);
    ctx.Settings.PictureFolder = pictures;
    const QString benchPdf = QDir(outFolder).filePath(QStringLiteral("bench 20 exercises.pdf"));
    const Timing pdf =
        Measure([&] { PrintDocument(ctx, PrintJobKind::Exercises4, true, benchPdf); });

    std::printf("%d exercises, %d pages, %lld pictures, preview zoom 0.75\n",
                int(ctx.Program.EntryCount), pages, static_cast<long long>(files.size()));
    Report("preview, all pages composed:", compose);
    Report("decoding the pictures alone (the floor):", decode);
    std::printf("  (decoded as the preview decodes them: %dx%d from %dx%d files)\n",
                decodedSize.width(), decodedSize.height(), fullSize.width(), fullSize.height());
    Report("preview without pictures (text and lines only):", furniture);
    std::printf("preview / floor: %.2f median, %.2f best (target at most 1.5)\n",
                compose.median / decode.median, compose.best / decode.best);
    Report("the same sheets written as a PDF:", pdf);
    std::printf("PDF size: %lld KB\n", static_cast<long long>(QFileInfo(benchPdf).size() / 1024));

    // --- the documents of a sample program ---
    SetProgram(ctx, DocumentProgram(sample.library));
    SetSampleOrder(ctx);
    const struct
    {
        PrintJobKind kind;
        const char* file;
    } documents[] = {{PrintJobKind::Exercises4, "exercises 4 per page.pdf"},
                     {PrintJobKind::Exercises2, "exercises 2 per page.pdf"},
                     {PrintJobKind::CoverPage, "cover page.pdf"},
                     {PrintJobKind::PatientRecord, "patient record.pdf"},
                     {PrintJobKind::VideoOrder, "video order.pdf"},
                     {PrintJobKind::LargePrint, "large print.pdf"}};
    int failures = 0;
    for (const auto& d : documents) {
        const QString path = QDir(outFolder).filePath(QString::fromLatin1(d.file));
        QFile::remove(path);
        if (PrintDocument(ctx, d.kind, true, path))
            std::printf("wrote %s\n", qPrintable(path));
        else
            ++failures;
    }
    // What the preview shows of the sheets, at its first zoom.
    ctx.Geometry.PageScale = 0.75;
    ctx.Geometry.PreviewMode = true;
    PreviewSurface preview(ctx.Geometry.PageScale);
    if (!ComposeDocument(ctx, PrintJobKind::Exercises4, preview))
        qFatal("The sheets could not be composed.");
    preview.EndDoc();
    ctx.Geometry.PreviewMode = false;
    for (int i = 0; i < preview.Pages().size(); ++i)
        preview.Pages().at(i).save(
            QDir(outFolder).filePath(QStringLiteral("preview page %1.png").arg(i + 1)));

    ctx.Settings.PrintPatientCover = true;
    const QString combined =
        QDir(outFolder).filePath(QStringLiteral("cover and exercises 2 per page.pdf"));
    if (PrintDocument(ctx, PrintJobKind::Exercises2, true, combined))
        std::printf("wrote %s\n", qPrintable(combined));
    else
        ++failures;
    return failures == 0 ? 0 : 1;
}
