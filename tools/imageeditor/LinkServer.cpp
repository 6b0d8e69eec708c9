#include "LinkServer.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace tramelle::imageeditor {

namespace {

constexpr int HandOverTimeoutMs = 2000;
constexpr int StartLockTimeoutMs = 10000;

// The advised items, in the order a new client receives them.
const QStringList& AdvisedItems()
{
    static const QStringList items{LinkItem::StatFileName, LinkItem::LinkStatus};
    return items;
}

} // namespace

LinkServer::LinkServer(QObject* parent) : QObject(parent)
{
    m_values.insert(LinkItem::StatFileName, QString());
    m_values.insert(LinkItem::LinkStatus, QStringLiteral("0"));
}

LinkServer::~LinkServer() = default;

LinkServer::StartResult LinkServer::Start(const QString& appFolder, const QString& picture,
                                          QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return StartResult::Failed;
    };
    const Result<QString> socketPath = ImageEditorSocketPath(appFolder);
    if (!socketPath)
        return fail(socketPath.Reason());
    const QString& path = socketPath.Value();

    // Two editors starting together take turns here, so only one of them listens.
    QLockFile lock(ImageEditorLockPath(appFolder));
    if (!lock.tryLock(StartLockTimeoutMs))
        return fail(
            QCoreApplication::translate("LinkServer", "The lock file \"%1\" cannot be taken.")
                .arg(ImageEditorLockPath(appFolder)));

    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(HandOverTimeoutMs)) {
        if (!picture.isEmpty())
            probe.write(EncodeLinkMessage({LinkMessageKind::Poke, LinkItem::OpenFName, picture}));
        probe.write(EncodeLinkMessage({LinkMessageKind::Raise, {}, {}}));
        probe.waitForBytesWritten(HandOverTimeoutMs);
        // The first editor greets every client once it has taken the connection: only
        // then is it safe to hang up.
        probe.waitForReadyRead(HandOverTimeoutMs);
        probe.disconnectFromServer();
        return StartResult::HandedOver;
    }
    // Nothing answers: whatever is left at the path belongs to an editor that ended.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        const QString reason = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return fail(reason);
    }
    connect(m_server, &QLocalServer::newConnection, this, &LinkServer::Accept);
    return StartResult::Listening;
}

void LinkServer::Advise(const QString& item, const QString& value)
{
    m_values.insert(item, value);
    const QByteArray line = EncodeLinkMessage({LinkMessageKind::Advise, item, value});
    for (QLocalSocket* socket : std::as_const(m_clients)) {
        socket->write(line);
        socket->flush();
    }
}

void LinkServer::Accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        m_clients.append(socket);
        m_readers.insert(socket, LinkMessageReader());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Drop(socket); });
        // A new client learns the current values at once, as a hot link would.
        for (const QString& item : AdvisedItems())
            socket->write(EncodeLinkMessage({LinkMessageKind::Advise, item, m_values.value(item)}));
        socket->flush();
        if (socket->bytesAvailable() > 0)
            Read(socket);
    }
}

void LinkServer::Read(QLocalSocket* socket)
{
    auto reader = m_readers.find(socket);
    if (reader == m_readers.end())
        return;
    if (!reader->Append(socket->readAll())) {
        socket->abort();
        return;
    }
    while (const std::optional<LinkMessage> message = reader->Next())
        m_pending.append(*message);
    // A slot may open a dialog whose event loop reads more messages: they wait their
    // turn, so the items keep the order they were sent in.
    if (m_dispatching)
        return;
    m_dispatching = true;
    while (!m_pending.isEmpty()) {
        const LinkMessage message = m_pending.takeFirst();
        if (message.Kind == LinkMessageKind::Raise)
            emit RaiseRequested();
        else if (message.Kind == LinkMessageKind::Poke &&
                 (message.Item == LinkItem::OpenFName || message.Item == LinkItem::SaveFName))
            emit Poked(message.Item, message.Value);
    }
    m_dispatching = false;
}

void LinkServer::Drop(QLocalSocket* socket)
{
    // A second editor writes its picture and hangs up at once: read what it left.
    if (socket->bytesAvailable() > 0)
        Read(socket);
    m_clients.removeAll(socket);
    m_readers.remove(socket);
    socket->deleteLater();
}

} // namespace tramelle::imageeditor
