#pragma once

// The link between the exercise editor and the image editor program
// (tramelle-imageeditor), shared by both programs.
//
// Transport: one QLocalServer per application folder, run by the image editor, at
// ImageEditorSocketPath(appFolder) under the user's runtime folder. Every message is one
// line of compact JSON ending in "\n": {"kind":"poke"|"advise"|"raise","item":...,
// "value":...}. Lines longer than MaxLinkLineBytes end the connection.
//
// Items:
//   "VMROpenFName"  poke, client -> editor: the picture the editor is to open (an empty
//                   value leaves the open picture as it is).
//   "VMRSaveFName"  poke, client -> editor: the file the editor saves the finished picture
//                   to (a 400 x 300 JPEG, written to a new file and renamed into place).
//   "StatFileName"  advise, editor -> client: the file open in the editor; sent on
//                   connection and whenever another file is opened.
//   "VMRLinkStatus" advise, editor -> client: a value that changes after every save to
//                   the save name (the count of saves in this run); sent on connection.
// A "raise" message (no item) brings the editor's window to the front.
//
// The client sends the source name first and then the save name; after a save the
// editor sends "VMRLinkStatus", and the client reloads the picture from the save name and
// takes "StatFileName" as the picture's source.

#include "Outcome.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QLocalSocket;

namespace tramelle {

namespace LinkItem {
inline const QString OpenFName = QStringLiteral("VMROpenFName");
inline const QString SaveFName = QStringLiteral("VMRSaveFName");
inline const QString StatFileName = QStringLiteral("StatFileName");
inline const QString LinkStatus = QStringLiteral("VMRLinkStatus");
} // namespace LinkItem

enum class LinkMessageKind
{
    Poke,
    Advise,
    Raise
};

struct LinkMessage
{
    LinkMessageKind Kind = LinkMessageKind::Poke;
    QString Item;
    QString Value;

    bool operator==(const LinkMessage&) const = default;
};

inline constexpr qsizetype MaxLinkLineBytes = 64 * 1024;

// One line of the link, "\n" included.
QByteArray EncodeLinkMessage(const LinkMessage& message);

// Cuts the bytes read from a socket into messages. Lines that are not messages are
// skipped; a line longer than MaxLinkLineBytes makes Append return false (the peer is
// not a link partner and the connection should end).
class LinkMessageReader
{
public:
    bool Append(const QByteArray& bytes);
    std::optional<LinkMessage> Next();

private:
    QByteArray m_buffer;
};

// The image editor's socket for an application folder: a name without "/" under the
// user's runtime folder, short enough for a local socket (at most 106 bytes); the reason
// when no such path can be made.
Result<QString> ImageEditorSocketPath(const QString& appFolder);

// The lock that orders two image editors starting at the same moment.
QString ImageEditorLockPath(const QString& appFolder);

// The image editor program, installed beside the running program.
QString ImageEditorProgram();

// Arguments that start the image editor for an application folder, optionally opening a
// picture.
QStringList ImageEditorArguments(const QString& appFolder, const QString& picture = QString());

// The main program's side of the link.
class ImageEditorLink : public QObject
{
    Q_OBJECT
public:
    explicit ImageEditorLink(QObject* parent = nullptr);
    ~ImageEditorLink() override;

    // Connects to the image editor of the application folder. False when no editor
    // answers in time (see ErrorString). The editor's current "StatFileName" and
    // "VMRLinkStatus" arrive right after, through ItemChanged.
    bool Connect(const QString& appFolder, int timeoutMs = 2000);
    void Disconnect();
    bool IsConnected() const;

    // Pokes "VMROpenFName" or "VMRSaveFName". False when there is no link or the item is
    // not one the client sends.
    bool Send(const QString& item, const QString& value);
    bool Raise();

    // The last value the editor advised for an item (empty before the first).
    QString Value(const QString& item) const;
    QString ErrorString() const { return m_error; }

signals:
    void ItemChanged(const QString& item, const QString& value);
    void Disconnected();

private:
    bool Write(const LinkMessage& message);
    void ReadMessages();

    QLocalSocket* m_socket = nullptr;
    LinkMessageReader m_reader;
    QHash<QString, QString> m_values;
    QString m_error;
};

} // namespace tramelle
