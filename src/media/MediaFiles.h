#pragma once

#include "Paths.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace tramelle {

// The folder of a file chosen in the folder dialog, with its trailing "/"; empty for an
// empty choice. The chosen file's own name is cut off, whatever it is called.
QString MediaFolderFromSample(const QString& chosenFile);

// The number of files (links followed, folders left out) directly in a folder.
qint32 CountFiles(const QString& folder);

// The bytes the files directly in a folder take.
qint64 FolderBytes(const QString& folder);

// Called after each file and during long files with the count of files done; returns
// false to stop the copy.
using CopyProgress = std::function<bool(qint32 filesDone)>;

// Copying the media folders from the product media to the application folder. Each kind
// (its folder, "Picture" or "Movie") is copied into a staging folder beside its destination; only
// when every kind arrived whole are the staging folders swapped into place, so a crash or a full
// disk leaves every folder whole and the old folders in use.
class MediaCopy
{
    Q_DECLARE_TR_FUNCTIONS(MediaCopy)

public:
    MediaCopy(QString sourceRoot, QString destinationRoot);
    ~MediaCopy();
    MediaCopy(const MediaCopy&) = delete;
    MediaCopy& operator=(const MediaCopy&) = delete;

    // The folder a kind is copied from and to, with trailing "/".
    QString SourceFolder(MediaKind kind) const;
    QString DestinationFolder(MediaKind kind) const;

    // The bytes the kinds need and the bytes free where they go.
    qint64 BytesNeeded(const QList<MediaKind>& kinds) const;
    static qint64 BytesAvailable(const QString& folder);

    // Copies the files of one kind into its staging folder. Files of an earlier copy that
    // the source does not hold (pictures the clinic added) are carried over, except the
    // ".BMP" twins of copied files. False when a file failed (Failures names them) or the
    // copy was stopped (Cancelled).
    bool Stage(MediaKind kind, const CopyProgress& progress = {});

    // Swaps every staged folder into place and removes the old ones. False, with Failures
    // set, when a folder could not be swapped; folders already swapped stay whole.
    bool Commit();

    // Removes every staging folder left (by a failure or an earlier crash).
    void Discard();

    const QStringList& Failures() const { return m_failures; }
    bool Cancelled() const { return m_cancelled; }

    // Puts back a folder that an interrupted swap left aside, and removes staging left by
    // an interrupted copy. Safe to call at any time.
    static void RecoverInterrupted(const QString& destinationRoot, const QList<MediaKind>& kinds);

private:
    QString StagingFolder(MediaKind kind) const;
    bool CopyOneFile(const QString& source, const QString& target, const CopyProgress& progress,
                     qint32 done);

    QString m_sourceRoot;
    QString m_destinationRoot;
    QList<MediaKind> m_staged;
    QStringList m_failures;
    bool m_cancelled = false;
};

} // namespace tramelle
