#include "CupsJob.h"

#include <QCoreApplication>
#include <QPageRanges>
#include <QPrintEngine>
#include <cups/cups.h>

namespace tramelle {

namespace {

// Where the printer dialog leaves the job options it sets itself (page set, pages per
// sheet, page ranges, banners, ...): name and value in turn.
constexpr auto CupsOptionsProperty = QPrintEngine::PrintEnginePropertyKey(0xfe00);

void SetOption(QList<std::pair<QByteArray, QByteArray>>& options, const QByteArray& name,
               const QByteArray& value)
{
    for (auto& option : options) {
        if (option.first == name) {
            option.second = value;
            return;
        }
    }
    options.append({name, value});
}

} // namespace

CupsJob::CupsJob(const QPrinter& chosen) : m_pdf(QPrinter::HighResolution)
{
    // A queue may be named with an instance ("queue/instance"); the server knows the
    // queue, the instance only selects saved options.
    const QString name = chosen.printerName();
    const qsizetype slash = name.indexOf(QLatin1Char('/'));
    m_destination = slash < 0 ? name : name.left(slash);
    m_instance = slash < 0 ? QString() : name.mid(slash + 1);

    m_pdf.setOutputFormat(QPrinter::PdfFormat);
    m_pdf.setOutputFileName(m_folder.isValid() ? m_folder.filePath(QStringLiteral("job.pdf"))
                                               : QString());
    m_pdf.setDocName(chosen.docName());
    m_pdf.setFullPage(chosen.fullPage());
    m_pdf.setPageLayout(chosen.pageLayout());

    // Each page carries its own size and orientation in the file, so no "landscape" is
    // sent: it would turn every page of a job that mixes orientations.
    SetOption(m_options, "media", chosen.pageLayout().pageSize().key().toUtf8());
    if (chosen.copyCount() > 1) {
        SetOption(m_options, "copies", QByteArray::number(chosen.copyCount()));
        SetOption(m_options, "collate", chosen.collateCopies() ? "true" : "false");
    }
    switch (chosen.duplex()) {
    case QPrinter::DuplexNone:
        SetOption(m_options, "sides", "one-sided");
        break;
    case QPrinter::DuplexAuto:
    case QPrinter::DuplexLongSide:
        SetOption(m_options, "sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        SetOption(m_options, "sides", "two-sided-short-edge");
        break;
    }
    if (chosen.colorMode() == QPrinter::GrayScale)
        SetOption(m_options, "print-color-mode", "monochrome");
    if (chosen.printRange() == QPrinter::PageRange && !chosen.pageRanges().isEmpty())
        SetOption(m_options, "page-ranges", chosen.pageRanges().toString().toUtf8());

    if (QPrintEngine* engine = chosen.printEngine()) {
        const QStringList dialogOptions = engine->property(CupsOptionsProperty).toStringList();
        for (qsizetype i = 0; i + 1 < dialogOptions.size(); i += 2)
            SetOption(m_options, dialogOptions.at(i).toUtf8(), dialogOptions.at(i + 1).toUtf8());
    }
}

CupsJob::~CupsJob() = default;

Result<int> CupsJob::Submit(const QString& title, const QString& file)
{
    if (file.isEmpty() && !m_folder.isValid())
        return Result<int>::Failed(
            QCoreApplication::translate("tramelle::CupsJob",
                                        "The job for the printer \"%1\" could not be prepared: %2")
                .arg(m_destination, m_folder.errorString()));
    const QByteArray destination = m_destination.toUtf8();
    const QByteArray instance = m_instance.toUtf8();

    // The queue's saved options first (as lp sends them), then the choices of this job.
    int count = 0;
    cups_option_t* options = nullptr;
    if (cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, destination.constData(),
                                             instance.isEmpty() ? nullptr : instance.constData())) {
        for (int i = 0; i < dest->num_options; ++i)
            count = cupsAddOption(dest->options[i].name, dest->options[i].value, count, &options);
        cupsFreeDests(1, dest);
    }
    for (const auto& [name, value] : m_options)
        count = cupsAddOption(name.constData(), value.constData(), count, &options);

    const int job = cupsPrintFile2(
        CUPS_HTTP_DEFAULT, destination.constData(),
        QFile::encodeName(file.isEmpty() ? m_pdf.outputFileName() : file).constData(),
        title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0)
        return Result<int>::Failed(
            QCoreApplication::translate("tramelle::CupsJob",
                                        "The printer \"%1\" refused the job: %2")
                .arg(m_destination, QString::fromUtf8(cupsLastErrorString())));
    return job;
}

} // namespace tramelle
