#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cstdio>

namespace {

const char* const kLockName = "/Folderly.lock";
const char* const kSocketName = "/Folderly.socket";
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
// How long a later start tries to reach the first copy, which may be still
// starting itself.
constexpr int kConnectAttempts = 100;
constexpr int kAttemptMilliseconds = 100;

}  // namespace

QString SingleInstance::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::SingleInstance(QString folder, QObject* parent) : QObject(parent), m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();  // removes the socket while the lock is still held
    if (m_lock >= 0)
        ::close(m_lock);
}

bool SingleInstance::Claim()
{
    const QByteArray lockPath = QFile::encodeName(m_folder + QLatin1String(kLockName));
    m_lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = m_lock >= 0 && errno == EWOULDBLOCK;
        if (m_lock >= 0)
            ::close(m_lock);
        m_lock = -1;
        if (taken)
            return false;
        std::fprintf(stderr, "Folderly: cannot lock %s; a second copy of the program will not be noticed\n",
                     lockPath.constData());
        return true;
    }
    return true;
}

void SingleInstance::Listen()
{
    if (m_lock < 0)
        return;
    // Whatever socket is there was left by a copy that died: this one holds the lock.
    const QString socketPath = m_folder + QLatin1String(kSocketName);
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->canReadLine() && socket->readLine() == kShowRequest)
                    emit ShowRequested();
            });
        }
    });
    if (!m_server->listen(socketPath))
        std::fprintf(stderr, "Folderly: cannot listen on %s: %s\n", QFile::encodeName(socketPath).constData(),
                     m_server->errorString().toLocal8Bit().constData());
}

bool SingleInstance::AskFirstToShow()
{
    const QString socketPath = m_folder + QLatin1String(kSocketName);
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(kAttemptMilliseconds)) {
            socket.write(kShowRequest);
            return socket.waitForBytesWritten(1000);
        }
        QThread::msleep(kAttemptMilliseconds);
    }
    return false;
}
