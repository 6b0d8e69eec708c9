#pragma once

#include "ImageEditorLink.h"

#include <QHash>
#include <QList>
#include <QObject>

class QLocalServer;
class QLocalSocket;

namespace tramelle::imageeditor {

// The image editor's side of the link (ImageEditorLink.h): one per application folder.
class LinkServer : public QObject
{
    Q_OBJECT
public:
    enum class StartResult
    {
        Listening,
        HandedOver,
        Failed
    };

    explicit LinkServer(QObject* parent = nullptr);
    ~LinkServer() override;

    // Listens for the application folder, or, when an editor already answers there, hands
    // it the picture (if any), brings it to the front and returns HandedOver. A socket
    // left by an editor that ended is removed only once connecting to it has failed.
    StartResult Start(const QString& appFolder, const QString& picture, QString* error);

    // Sets an item the editor advises and sends it to every linked client.
    void Advise(const QString& item, const QString& value);
    QString Value(const QString& item) const { return m_values.value(item); }
    int ClientCount() const { return int(m_clients.size()); }

signals:
    void Poked(const QString& item, const QString& value);
    void RaiseRequested();

private:
    void Accept();
    void Read(QLocalSocket* socket);
    void Drop(QLocalSocket* socket);

    QLocalServer* m_server = nullptr;
    QList<QLocalSocket*> m_clients;
    QHash<QLocalSocket*, LinkMessageReader> m_readers;
    QHash<QString, QString> m_values;
    QList<LinkMessage> m_pending;
    bool m_dispatching = false;
};

} // namespace tramelle::imageeditor
