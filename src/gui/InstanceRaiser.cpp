#include "gui/InstanceRaiser.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <unistd.h>

namespace posbench::gui {

namespace {

constexpr int kAnswerMs = 2000;

// One name per program directory and user, short enough for a socket path.
QString ServerName(const std::string& programDir) {
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(programDir),
                                                     QCryptographicHash::Sha1).toHex().left(16);
    return "posbench-" + QString::number(getuid()) + "-" + QString::fromLatin1(hash);
}

}  // namespace

InstanceRaiser::InstanceRaiser(const std::string& programDir, std::function<void()> raise)
    : raise_(std::move(raise)) {
    const QString name = ServerName(programDir);
    // This copy holds the directory's lock, so a socket left by a copy that died is stale.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(name);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
                if (peer->readAll().startsWith("raise") && raise_) raise_();
                peer->write("ok\n");
                peer->disconnectFromServer();
            });
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
}

InstanceRaiser::~InstanceRaiser() { server_.close(); }

bool InstanceRaiser::AskRunningCopy(const std::string& programDir) {
    QLocalSocket socket;
    socket.connectToServer(ServerName(programDir));
    if (!socket.waitForConnected(kAnswerMs / 2)) return false;
    socket.write("raise\n");
    if (!socket.waitForBytesWritten(kAnswerMs / 2)) return false;
    return socket.waitForReadyRead(kAnswerMs) && socket.readAll().startsWith("ok");
}

}  // namespace posbench::gui
