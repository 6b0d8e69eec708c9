#include "CommandLine.h"

#include "AppContext.h"
#include "Clinic.h"
#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "PatientStore.h"
#include "PrintJobs.h"
#include "ProgramStore.h"
#include "Settings.h"
#include "Startup.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <limits>

namespace tramelle {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("CommandLine", text);
}

void Complain(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextStream(stderr) << lines << Qt::endl;
}

const struct
{
    const char* name;
    PrintJobKind kind;
} Kinds[] = {
    {"sheets4", PrintJobKind::Exercises4}, {"sheets2", PrintJobKind::Exercises2},
    {"cover", PrintJobKind::CoverPage},    {"record", PrintJobKind::PatientRecord},
    {"order", PrintJobKind::VideoOrder},   {"large", PrintJobKind::LargePrint},
};

QStringList KindNames()
{
    QStringList names;
    for (const auto& k : Kinds)
        names << QLatin1String(k.name);
    return names;
}

std::optional<PrintJobKind> KindNamed(const QString& name)
{
    for (const auto& k : Kinds)
        if (name == QLatin1String(k.name))
            return k.kind;
    return std::nullopt;
}

// A record number: a whole number from 1 up that fits the column, never wrapped.
std::optional<qint32> RecordNumber(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 1 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

// What the start-up steps an export runs would ask in a message box goes to the error
// stream; every question gets its cautious answer.
class ConsolePromptService : public NullPromptService
{
public:
    PromptAnswer Message(const QString& title, const QString& text, PromptIcon icon,
                         PromptButtons buttons, std::optional<PromptAnswer> defaultButton) override
    {
        Complain(title + QStringLiteral(": ") + text);
        return NullPromptService::Message(title, text, icon, buttons, defaultButton);
    }
};

struct ExportRequest
{
    PrintJobKind kind = PrintJobKind::Exercises4;
    std::optional<qint32> invoice;
    std::optional<qint32> patient;
    QString file;
};

// Loads the program the request names; the reason when there is none.
Outcome LoadRequestedProgram(AppContext& ctx, const ExportRequest& request)
{
    if (request.invoice) {
        LoadProgram(ctx, request.invoice);
        if (ctx.Program.InvoiceID != request.invoice)
            return Outcome::Failed(Tr("There is no stored program %1.").arg(*request.invoice));
        return Outcome::Done();
    }
    const std::optional<PatientRecord> patient = ReadPatient(ctx.Db.MainDb(), *request.patient);
    if (!patient)
        return Outcome::Failed(Tr("There is no patient %1.").arg(*request.patient));
    ctx.Program.PatientID = *request.patient;
    ctx.Program.PatientName = FullName(patient->LastName, patient->FirstName);
    LoadProgram(ctx, std::nullopt);
    if (!ctx.Program.InvoiceID)
        return Outcome::Failed(Tr("The patient %1 (%2) has no stored program.")
                                   .arg(*request.patient)
                                   .arg(ctx.Program.PatientName));
    return Outcome::Done();
}

int Export(const ExportRequest& request)
{
    ConsolePromptService prompt;
    AppContext ctx(DefaultApplicationFolder());
    ctx.SetPromptService(&prompt);
    Outcome outcome = Outcome::Done();
    try {
        // The settings are read, never written back.
        LoadSettings(ctx, *OpenSettingsStore());
        ctx.Db.OpenReadOnly(ctx.AppFolder());
        outcome = LoadVendorContacts(ctx);
        LoadClinicInfo(ctx);
        ctx.Geometry.PageScale = 1;
        if (outcome)
            outcome = LoadRequestedProgram(ctx, request);
    } catch (const DbError& e) {
        outcome = Outcome::Failed(e.message());
    }
    if (outcome)
        outcome = ExportPdf(ctx, request.kind, request.file);
    // A read-only connection has nothing to merge: what Close reports concerns another
    // process's journal.
    ctx.Db.Close();
    if (!outcome) {
        Complain(Tr("The %1 could not be exported to \"%2\".\n%3")
                     .arg(DocumentName(request.kind).toLower(),
                          QDir::toNativeSeparators(request.file), outcome.Reason()));
        return 1;
    }
    return 0;
}

} // namespace

bool IsCommandLineRun(int argc, char** argv)
{
    static const QStringList flags{QStringLiteral("--export-pdf"), QStringLiteral("--program"),
                                   QStringLiteral("--patient"),    QStringLiteral("--out"),
                                   QStringLiteral("--help"),       QStringLiteral("-h"),
                                   QStringLiteral("--help-all"),   QStringLiteral("-?"),
                                   QStringLiteral("--version"),    QStringLiteral("-v")};
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (flags.contains(arg.section(QLatin1Char('='), 0, 0)))
            return true;
    }
    return false;
}

int RunCommandLine(int argc, char** argv)
{
    // An export needs no display, whatever the session offers.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    SetApplicationNames();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        Tr("VMR Tramelle: home-exercise programs for physiotherapy clinics.\n"
           "Without options the program's window opens.\n\n"
           "Export a stored program's document to a PDF file, without a window:\n"
           "  vmr-tramelle --export-pdf KIND (--program INVOICEID | --patient PATIENTID) "
           "--out FILE"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption exportPdf(
        QStringLiteral("export-pdf"),
        Tr("Writes a document to a PDF file. KIND is one of: %1 (exercise sheets 4 or 2 per "
           "page, cover page, patient record, video order form, large-print handouts).")
            .arg(KindNames().join(QStringLiteral(", "))),
        QStringLiteral("KIND"));
    const QCommandLineOption program(QStringLiteral("program"),
                                     Tr("The stored program to export, by its number."),
                                     QStringLiteral("INVOICEID"));
    const QCommandLineOption patient(QStringLiteral("patient"),
                                     Tr("Exports the latest stored program of this patient."),
                                     QStringLiteral("PATIENTID"));
    const QCommandLineOption out(QStringLiteral("out"), Tr("The PDF file to write."),
                                 QStringLiteral("FILE"));
    parser.addOptions({exportPdf, program, patient, out});

    const QString tryHelp = Tr("Try \"vmr-tramelle --help\".");
    auto usageError = [&](const QString& text) {
        Complain(text + QLatin1Char('\n') + tryHelp);
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.isSet(version)) {
        QTextStream(stdout) << QCoreApplication::applicationName() << QLatin1Char(' ')
                            << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(Tr("Unexpected argument \"%1\".").arg(parser.positionalArguments()[0]));
    if (!parser.isSet(exportPdf))
        return usageError(Tr("Missing --export-pdf KIND."));

    ExportRequest request;
    const std::optional<PrintJobKind> kind = KindNamed(parser.value(exportPdf));
    if (!kind)
        return usageError(
            Tr("Unknown document \"%1\": KIND is one of %2.")
                .arg(parser.value(exportPdf), KindNames().join(QStringLiteral(", "))));
    request.kind = *kind;
    if (parser.isSet(program) == parser.isSet(patient))
        return usageError(Tr("Give either --program INVOICEID or --patient PATIENTID."));
    const QCommandLineOption& which = parser.isSet(program) ? program : patient;
    const std::optional<qint32> number = RecordNumber(parser.value(which));
    if (!number)
        return usageError(Tr("\"%1\" is not a record number: --%2 takes a whole number from 1 "
                             "to %3.")
                              .arg(parser.value(which), which.names().constFirst())
                              .arg(std::numeric_limits<qint32>::max()));
    (parser.isSet(program) ? request.invoice : request.patient) = number;
    if (parser.value(out).isEmpty())
        return usageError(Tr("Missing --out FILE."));
    request.file = QDir::current().absoluteFilePath(parser.value(out));
    return Export(request);
}

} // namespace tramelle
