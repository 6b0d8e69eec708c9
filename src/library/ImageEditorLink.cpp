#include "ImageEditorLink.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tramelle {

namespace {

// Longest socket path the platform takes (sockaddr_un less its terminating zero).
constexpr qsizetype MaxSocketPathBytes = 106;

QString KindName(LinkMessageKind kind)
{
    switch (kind) {
    case LinkMessageKind::Poke:
        return QStringLiteral("poke");
    case LinkMessageKind::Advise:
        return QStringLiteral("advise");
    case LinkMessageKind::Raise:
        return QStringLiteral("raise");
    }
    return {};
}

std::optional<LinkMessageKind> KindFromName(const QString& name)
{
    for (LinkMessageKind kind :
         {LinkMessageKind::Poke, LinkMessageKind::Advise, LinkMessageKind::Raise})
        if (KindName(kind) == name)
            return kind;
    return std::nullopt;
}

// The same folder gives the same key however it is spelt.
QString FolderKey(const QString& appFolder)
{
    const QString clean = QDir::cleanPath(QFileInfo(appFolder).absoluteFilePath());
    return QString::fromLatin1(
        QCryptographicHash::hash(clean.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

QString RuntimeFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

QByteArray EncodeLinkMessage(const LinkMessage& message)
{
    QJsonObject object{{QStringLiteral("kind"), KindName(message.Kind)}};
    if (message.Kind != LinkMessageKind::Raise) {
        object.insert(QStringLiteral("item"), message.Item);
        object.insert(QStringLiteral("value"), message.Value);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool LinkMessageReader::Append(const QByteArray& bytes)
{
    m_buffer += bytes;
    const qsizetype end = m_buffer.lastIndexOf('\n');
    const qsizetype unfinished = m_buffer.size() - (end + 1);
    if (unfinished > MaxLinkLineBytes) {
        m_buffer.clear();
        return false;
    }
    // Finished lines are checked as they are taken.
    return true;
}

std::optional<LinkMessage> LinkMessageReader::Next()
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0)
            return std::nullopt;
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.size() > MaxLinkLineBytes)
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject())
            continue;
        const QJsonObject object = document.object();
        const std::optional<LinkMessageKind> kind =
            KindFromName(object.value(QStringLiteral("kind")).toString());
        if (!kind)
            continue;
        LinkMessage message;
        message.Kind = *kind;
        if (*kind != LinkMessageKind::Raise) {
            const QJsonValue item = object.value(QStringLiteral("item"));
            const QJsonValue value = object.value(QStringLiteral("value"));
            if (!item.isString() || !value.isString() || item.toString().isEmpty())
                continue;
            message.Item = item.toString();
            message.Value = value.toString();
        }
        return message;
    }
}

Result<QString> ImageEditorSocketPath(const QString& appFolder)
{
    const QString folder = RuntimeFolder();
    if (folder.isEmpty())
        return Result<QString>::Failed(QCoreApplication::translate(
            "ImageEditorLink", "There is no runtime folder for the link."));
    const QString path = folder + QStringLiteral("/tramelle-imageeditor-") + FolderKey(appFolder);
    if (QFile::encodeName(path).size() > MaxSocketPathBytes)
        return Result<QString>::Failed(
            QCoreApplication::translate("ImageEditorLink",
                                        "The runtime folder \"%1\" is too long for the link.")
                .arg(folder));
    return path;
}

QString ImageEditorLockPath(const QString& appFolder)
{
    return RuntimeFolder() + QStringLiteral("/tramelle-imageeditor-") + FolderKey(appFolder) +
           QStringLiteral(".lock");
}

QString ImageEditorProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tramelle-imageeditor");
}

QStringList ImageEditorArguments(const QString& appFolder, const QString& picture)
{
    QStringList arguments{QStringLiteral("--app-folder"), appFolder};
    if (!picture.isEmpty())
        arguments << QStringLiteral("--") << picture;
    return arguments;
}

ImageEditorLink::ImageEditorLink(QObject* parent) : QObject(parent) {}

ImageEditorLink::~ImageEditorLink() = default;

bool ImageEditorLink::Connect(const QString& appFolder, int timeoutMs)
{
    Disconnect();
    const Result<QString> socketPath = ImageEditorSocketPath(appFolder);
    if (!socketPath) {
        m_error = socketPath.Reason();
        return false;
    }
    const QString& path = socketPath.Value();
    m_socket = new QLocalSocket(this);
    m_socket->connectToServer(path);
    if (!m_socket->waitForConnected(timeoutMs)) {
        m_error = m_socket->errorString();
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    connect(m_socket, &QLocalSocket::readyRead, this, &ImageEditorLink::ReadMessages);
    connect(m_socket, &QLocalSocket::disconnected, this, [this] {
        m_socket->deleteLater();
        m_socket = nullptr;
        emit Disconnected();
    });
    m_error.clear();
    return true;
}

void ImageEditorLink::Disconnect()
{
    if (!m_socket)
        return;
    QLocalSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_reader = LinkMessageReader();
    m_values.clear();
}

bool ImageEditorLink::IsConnected() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

bool ImageEditorLink::Send(const QString& item, const QString& value)
{
    if (item != LinkItem::OpenFName && item != LinkItem::SaveFName) {
        m_error = QCoreApplication::translate("ImageEditorLink",
                                              "\"%1\" is not sent to the image editor.")
                      .arg(item);
        return false;
    }
    return Write({LinkMessageKind::Poke, item, value});
}

bool ImageEditorLink::Raise()
{
    return Write({LinkMessageKind::Raise, {}, {}});
}

QString ImageEditorLink::Value(const QString& item) const
{
    return m_values.value(item);
}

bool ImageEditorLink::Write(const LinkMessage& message)
{
    if (!IsConnected()) {
        m_error = QCoreApplication::translate("ImageEditorLink", "The image editor is not linked.");
        return false;
    }
    const QByteArray line = EncodeLinkMessage(message);
    if (m_socket->write(line) != line.size()) {
        m_error = m_socket->errorString();
        return false;
    }
    m_socket->flush();
    return true;
}

void ImageEditorLink::ReadMessages()
{
    if (!m_socket)
        return;
    if (!m_reader.Append(m_socket->readAll())) {
        Disconnect();
        emit Disconnected();
        return;
    }
    while (const std::optional<LinkMessage> message = m_reader.Next()) {
        if (message->Kind != LinkMessageKind::Advise)
            continue;
        m_values.insert(message->Item, message->Value);
        emit ItemChanged(message->Item, message->Value);
    }
}

} // namespace tramelle
