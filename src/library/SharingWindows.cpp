#include "SharingWindows.h"

#include "AppContext.h"
#include "DbError.h"
#include "LoadPicture.h"
#include "Outcome.h"
#include "Paths.h"
#include "Services.h"
#include "WaitPointer.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tramelle {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("SharingWindows", text);
}

QString StartFolder()
{
    return QDir::homePath();
}

// The folder the data set's image paths start from: the document's own, or its
// "images" folder, whichever holds the first image; otherwise the user says.
QString ImageFolder(AppContext& ctx, const QString& document, const QList<DataSetExercise>& set)
{
    const QString folder = QFileInfo(document).absolutePath();
    QString first;
    for (const DataSetExercise& x : set)
        if (first.isEmpty() && !x.Images.isEmpty())
            first = x.Images.first();
    if (first.isEmpty())
        return folder;
    for (const QString& candidate : {folder, JoinPath(folder, QStringLiteral("images"))})
        if (FileExistsAnyCase(JoinPath(candidate, first)))
            return candidate;
    return ctx.Prompt().ExistingFolder(Tr("Folder of the Data Set's Images"), folder);
}

bool ImportDataSetCommand(AppContext& ctx, const QString& path)
{
    const QString title = Tr("Import Exercise Data Set");
    try {
        QFile file(path);
        if (file.size() > ShareDocumentLimit)
            throw DbError(Tr("The data set \"%1\" is larger than %2 bytes.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(ShareDocumentLimit));
        if (!file.open(QIODevice::ReadOnly))
            throw DbError(Tr("The data set \"%1\" cannot be read: %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()));
        const DataSetMapping mapping =
            ReadDataSetMapping(JoinPath(DeliveredFilesFolder(), DataSetMappingFileName));
        const QList<DataSetExercise> set = ReadDataSet(file.readAll(), mapping);
        if (set.isEmpty()) {
            ctx.Prompt().Message(title, Tr("The data set holds no exercises."),
                                 PromptIcon::Information);
            return false;
        }
        const Result<qint32> firstFree = NextExerciseID(ctx.Db.LibraryDb());
        if (!firstFree) {
            ReportFailureTitled(ctx, title, firstFree.Reason());
            return false;
        }
        frmDataSetPreview preview(set, firstFree.Value());
        if (preview.exec() != QDialog::Accepted)
            return false;
        const QString images = ImageFolder(ctx, path, set);
        if (images.isEmpty())
            return false;
        const ShareImportResult r = ImportDataSet(ctx, set, images, DataSetPictureWriters());
        ctx.Prompt().Message(title, r.Report(), PromptIcon::Information);
        return !r.Cancelled && !r.Imported.isEmpty();
    } catch (const DbError& e) {
        ctx.Prompt().Message(title,
                             e.message() + QStringLiteral("\r\n\r\n") +
                                 Tr("Nothing was imported from this file."),
                             PromptIcon::Critical);
        return false;
    }
}

} // namespace

bool ExportExercisesCommand(AppContext& ctx, const ShareSelection& selection)
{
    const QString title = Tr("Export Exercises");
    QString path = ctx.Prompt().SaveFileName(title, StartFolder(), Tr("Exercise files (*.zip)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".zip");
    WaitPointer wait;
    try {
        const ShareExportResult r = ExportShare(ctx, selection, path);
        wait.Restore();
        QString text = Tr("%1 exercises and %2 protocols, with %3 pictures, icons and movies, "
                          "were exported to\r\n%4.")
                           .arg(r.Exercises)
                           .arg(r.Protocols)
                           .arg(r.MediaFiles)
                           .arg(QDir::toNativeSeparators(path));
        if (!r.MissingMedia.isEmpty())
            text += QStringLiteral("\r\n\r\n") +
                    Tr("These files were not found and are not in it:") + QStringLiteral("\r\n") +
                    r.MissingMedia.join(QStringLiteral("\r\n"));
        ctx.Prompt().Message(title, text, PromptIcon::Information);
        return true;
    } catch (const DbError& e) {
        wait.Restore();
        ctx.Prompt().Message(title, e.message(), PromptIcon::Critical);
        return false;
    }
}

bool ImportExercisesCommand(AppContext& ctx)
{
    const QString title = Tr("Import Exercises");
    const QString path = ctx.Prompt().OpenFileName(
        title, StartFolder(), Tr("Exercise files (*.zip);;Exercise data sets (*.json)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0)
        return ImportDataSetCommand(ctx, path);
    try {
        const ShareImportResult r = ImportShare(ctx, path);
        ctx.Prompt().Message(title, r.Report(), PromptIcon::Information);
        return !r.Cancelled && !r.Imported.isEmpty();
    } catch (const DbError& e) {
        ctx.Prompt().Message(title, e.message(), PromptIcon::Critical);
        return false;
    }
}

frmDataSetPreview::frmDataSetPreview(const QList<DataSetExercise>& exercises, qint32 firstNumber,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDataSetPreview"));
    setWindowTitle(tr("Import Exercise Data Set"));
    auto* lblSummary = new QLabel(
        tr("%1 exercises will be added to the library with new numbers from %2. The first ones "
           "as they will be stored:")
            .arg(exercises.size())
            .arg(firstNumber),
        this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    const QStringList headers{tr("Name"),         tr("Desc"),     tr("AbbrevDesc"),
                              tr("Joint"),        tr("Motion"),   tr("Type"),
                              tr("Instructions"), tr("Pictures"), tr("Notes")};
    const int rows = int(std::min<qsizetype>(exercises.size(), PreviewRows));
    auto* grdPreview = new QTableWidget(rows, int(headers.size()), this);
    grdPreview->setObjectName(QStringLiteral("grdPreview"));
    grdPreview->setHorizontalHeaderLabels(headers);
    grdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPreview->verticalHeader()->setVisible(false);
    for (int r = 0; r < rows; ++r) {
        const DataSetExercise& x = exercises.at(r);
        const LibraryEntry& e = x.Record.Entry;
        const QStringList cells{x.Name,
                                e.Desc,
                                e.AbbrevDesc,
                                e.Joint,
                                e.Motion,
                                e.Type,
                                QStringList{e.Instruct0, e.Instruct1, e.Instruct2}
                                    .filter(QRegularExpression(QStringLiteral(".")))
                                    .join(QStringLiteral(" | ")),
                                QString::number(x.Images.size()),
                                x.Notes.join(QStringLiteral("; "))};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            item->setToolTip(cells.at(c));
            grdPreview->setItem(r, c, item);
        }
    }
    grdPreview->resizeColumnsToContents();
    for (int c = 0; c < grdPreview->columnCount(); ++c)
        grdPreview->setColumnWidth(c, std::min(grdPreview->columnWidth(c), 220));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cmdImport = buttons->addButton(tr("Import"), QDialogButtonBox::AcceptRole);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    QPushButton* cmdCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(grdPreview, 1);
    layout->addWidget(buttons);
    resize(960, 480);
}

} // namespace tramelle
