#include "core/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// What a later start sends; any connection counts as the same request.
const QByteArray kActivate = QByteArrayLiteral("activate\n");

} // namespace

TSingleInstance::TSingleInstance(const QString& settingsPath, QObject* parent)
    : QObject(parent), Name_(ServerName(settingsPath))
{}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerName(const QString& settingsPath)
{
    // The file need not exist yet; its folder's real path, with links
    // resolved, names it the same way from every start.
    const QFileInfo file(settingsPath);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    const QString path =
        (folder.isEmpty() ? file.absolutePath() : folder) + QLatin1Char('/') + file.fileName();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("morvix-") + QString::fromLatin1(hash.toHex().left(32));
}

bool TSingleInstance::Claim()
{
    if (Listen()) {
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(Name_);
    if (socket.state() == QLocalSocket::ConnectedState) {
        socket.write(kActivate);
        socket.flush();
        socket.disconnectFromServer();
        return false;
    }
    if (socket.state() == QLocalSocket::ConnectingState) {
        // Someone holds the name and has yet to accept: it runs, but is busy.
        socket.abort();
        return false;
    }
    // Nobody answers on the name: a program that ended without closing it
    // left it behind.
    QLocalServer::removeServer(Name_);
    if (!Listen()) {
        qWarning("Morvix: cannot listen for later starts on %s: %s", qPrintable(Name_),
                 qPrintable(Server_ ? Server_->errorString() : QString()));
    }
    return true;
}

bool TSingleInstance::Listen()
{
    delete Server_;
    Server_ = new QLocalServer(this);
    // No socket options: with them Qt makes the socket elsewhere and renames
    // it into place, over a name another program listens on. Without, the
    // socket gets the user's file mode, which lets no one else connect.
    if (!Server_->listen(Name_)) {
        return false;
    }
    connect(Server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = Server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            client->disconnectFromServer();
            emit ActivationRequested();
        }
    });
    return true;
}
