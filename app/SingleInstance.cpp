#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "app/RunOutput.h"

namespace {

const char* const kLockName = "/Folderly.lock";
const char* const kSocketName = "/Folderly.socket";
const char* const kWatcherLockName = "/Folderly-watch.lock";

// Whether somebody holds the lock of path now; taken only for a moment, so
// that a start meanwhile finds it free.
bool LockTaken(const QString& path)
{
    const int lock = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (lock < 0)
        return false;
    const bool taken = ::flock(lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(lock);
    return taken;
}

// Takes the lock of path and keeps it in lock. False when another holds it;
// true, with lock -1 and a word on standard error, when it cannot be taken at
// all: a program that runs unguarded is better than one that does not start.
bool TakeLock(const QString& path, int& lock, const char* unguarded)
{
    const QByteArray name = QFile::encodeName(path);
    lock = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0)
        return true;
    const bool taken = lock >= 0 && errno == EWOULDBLOCK;
    if (lock >= 0)
        ::close(lock);
    lock = -1;
    if (!taken)
        std::fprintf(stderr, "Folderly: cannot lock %s; %s\n", name.constData(), unguarded);
    return !taken;
}
// Requests of a later start, one line each.
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
// Followed by the moment the asking copy stops waiting for the run to begin,
// in milliseconds of the system's monotonic clock.
const QByteArray kRunRequest = QByteArrayLiteral("run ");
// The first copy's answers to a run: that it begins, a Report line, a
// message, and last the run's status; or that it stayed busy and made no
// run. Each a line whose text has its line ends escaped.
const QByteArray kStartedAnswer = QByteArrayLiteral("started");
const QByteArray kLineAnswer = QByteArrayLiteral("line ");
const QByteArray kMessageAnswer = QByteArrayLiteral("message ");
const QByteArray kExitAnswer = QByteArrayLiteral("exit ");
const QByteArray kBusyAnswer = QByteArrayLiteral("busy");
// How long a later start tries to reach the first copy, which may be still
// starting itself.
constexpr int kConnectAttempts = 100;
constexpr int kAttemptMilliseconds = 100;
// How soon a run request that had to wait is taken up again.
constexpr int kRunRetryMilliseconds = 250;
// A run begins no later than this after the asking copy's wait is over
// (a request that the first copy could not even look at before is
// answered busy), and the asking copy waits this much longer than that, so
// that a run never begins for a copy that has stopped waiting.
constexpr qint64 kStartGraceMilliseconds = 1000;
constexpr qint64 kAnswerMarginMilliseconds = 5000;

// The monotonic clock is the system's: both copies read the same one.
qint64 SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// File names may hold line ends: they travel as "\n", "\r" and "\\".
QByteArray Escaped(const std::string& text)
{
    QByteArray escaped;
    for (const char c : text) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else
            escaped += c;
    }
    return escaped;
}

std::string Unescaped(const QByteArray& escaped)
{
    std::string text;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '\\' || i + 1 == escaped.size()) {
            text += c;
            continue;
        }
        const char next = escaped[++i];
        text += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

// A run's output sent back to the later start that asked for it.
class SocketOutput : public RunOutput {
public:
    explicit SocketOutput(QLocalSocket* socket) : m_socket(socket) {}

    void Line(const std::string& line) override { Send(kLineAnswer + Escaped(line)); }
    void Message(const std::string& text) override { Send(kMessageAnswer + Escaped(text)); }
    void Starting() override { Send(kStartedAnswer); }
    void Exit(int status) { Send(kExitAnswer + QByteArray::number(status)); }
    void Busy() { Send(kBusyAnswer); }

private:
    void Send(const QByteArray& answer)
    {
        // One that stopped listening misses the rest; the run goes on.
        if (!m_socket || m_socket->state() != QLocalSocket::ConnectedState)
            return;
        m_socket->write(answer + '\n');
        // The run holds the event loop: each line leaves now.
        m_socket->flush();
    }

    QPointer<QLocalSocket> m_socket;
};

// $TMPDIR/folderly-<uid> (or in /tmp), made when missing; empty when it is
// no folder of this user's alone and cannot be made one.
QString PrivateTempFolder()
{
    QString folder = QDir::tempPath() + QStringLiteral("/folderly-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat status {};
    // Another user's folder under this name would let them answer for this copy.
    if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
        return {};
    if ((status.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return {};
    return folder;
}

}  // namespace

QString SingleInstance::DefaultFolder()
{
    // Cron gives its jobs no XDG_RUNTIME_DIR, but the session's folder is
    // there all the same, and a run from cron must find the window's copy.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QString sessionFolder = QStringLiteral("/run/user/%1").arg(::getuid());
    struct stat status {};
    if (::stat(QFile::encodeName(sessionFolder).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::getuid())
        return sessionFolder;
    // No session at all (a bare su, a container): a folder of this user's own,
    // quietly, as there is nothing to set right.
    return PrivateTempFolder();
}

SingleInstance::SingleInstance(QString folder, QObject* parent) : QObject(parent), m_folder(std::move(folder))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();  // removes the socket while the lock is still held
    if (m_lock >= 0)
        ::close(m_lock);
    if (m_watcherLock >= 0)
        ::close(m_watcherLock);
}

QString SingleInstance::LockPath() const
{
    return m_folder + QLatin1String(kLockName);
}

QString SingleInstance::SocketPath() const
{
    return m_folder + QLatin1String(kSocketName);
}

bool SingleInstance::Claim()
{
    if (m_folder.isEmpty()) {
        std::fprintf(stderr,
                     "Folderly: no runtime folder of this user's own (XDG_RUNTIME_DIR); a second copy of "
                     "the program will not be noticed\n");
        return true;
    }
    return TakeLock(LockPath(), m_lock, "a second copy of the program will not be noticed");
}

bool SingleInstance::FirstCopyRunning() const
{
    return !m_folder.isEmpty() && LockTaken(LockPath());
}

bool SingleInstance::ClaimWatcher()
{
    return m_folder.isEmpty()
        || TakeLock(m_folder + QLatin1String(kWatcherLockName), m_watcherLock, "a second watcher will not be noticed");
}

bool SingleInstance::WatcherRunning() const
{
    return !m_folder.isEmpty() && LockTaken(m_folder + QLatin1String(kWatcherLockName));
}

void SingleInstance::Listen()
{
    if (m_lock < 0)
        return;
    // Whatever socket is there was left by a copy that died: this one holds the lock.
    const QString socketPath = SocketPath();
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { TakeRequest(socket); });
        }
    });
    if (!m_server->listen(socketPath))
        std::fprintf(stderr, "Folderly: cannot listen on %s: %s\n", QFile::encodeName(socketPath).constData(),
                     m_server->errorString().toLocal8Bit().constData());
}

void SingleInstance::TakeRequest(QLocalSocket* socket)
{
    if (!socket->canReadLine())
        return;
    const QByteArray request = socket->readLine();
    if (request == kShowRequest)
        emit ShowRequested();
    else if (request.startsWith(kRunRequest))
        RunFor(socket, request.mid(kRunRequest.size()).trimmed().toLongLong());
}

void SingleInstance::RunFor(QLocalSocket* socket, qint64 deadline)
{
    SocketOutput output(socket);
    if (!m_runHandler) {
        output.Exit(2);
        return;
    }
    const qint64 now = SteadyMilliseconds();
    if (now > deadline + kStartGraceMilliseconds) {
        output.Busy();
        return;
    }
    const std::optional<int> status = m_runHandler(output);
    if (status) {
        output.Exit(*status);
        return;
    }
    if (now >= deadline) {
        output.Busy();
        return;
    }
    QTimer::singleShot(kRunRetryMilliseconds, this, [this, deadline, waiting = QPointer<QLocalSocket>(socket)] {
        if (waiting && waiting->state() == QLocalSocket::ConnectedState)
            RunFor(waiting, deadline);
    });
}

bool SingleInstance::ConnectToFirst(QLocalSocket& socket) const
{
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(kAttemptMilliseconds))
            return true;
        socket.abort();
        QThread::msleep(kAttemptMilliseconds);
    }
    return false;
}

bool SingleInstance::AskFirstToShow()
{
    QLocalSocket socket;
    if (!ConnectToFirst(socket))
        return false;
    socket.write(kShowRequest);
    return socket.waitForBytesWritten(1000);
}

SingleInstance::RunAnswer SingleInstance::AskFirstToRun(RunOutput& output, std::chrono::milliseconds wait)
{
    QLocalSocket socket;
    if (!ConnectToFirst(socket))
        return {RunAnswer::End::NotReached};
    const qint64 deadline = SteadyMilliseconds() + wait.count();
    socket.write(kRunRequest + QByteArray::number(deadline) + '\n');
    // After this the first copy begins no run for this request.
    const qint64 giveUp = deadline + kStartGraceMilliseconds + kAnswerMarginMilliseconds;
    bool started = false;
    // A run that has begun takes as long as it takes: wait while the first copy is there.
    for (;;) {
        if (!socket.canReadLine()) {
            if (socket.state() != QLocalSocket::ConnectedState)
                return {started ? RunAnswer::End::EndedDuringRun : RunAnswer::End::NotReached};
            if (!started && SteadyMilliseconds() > giveUp)
                return {RunAnswer::End::Busy};
            socket.waitForReadyRead(1000);
            continue;
        }
        if (const std::optional<RunAnswer> end = TakeAnswer(socket.readLine().chopped(1), output, started))
            return *end;
    }
}

std::optional<SingleInstance::RunAnswer> SingleInstance::TakeAnswer(const QByteArray& answer, RunOutput& output,
                                                                    bool& started)
{
    if (answer == kStartedAnswer) {
        started = true;
    } else if (answer == kBusyAnswer) {
        return RunAnswer{RunAnswer::End::Busy};
    } else if (answer.startsWith(kLineAnswer)) {
        output.Line(Unescaped(answer.mid(kLineAnswer.size())));
    } else if (answer.startsWith(kMessageAnswer)) {
        output.Message(Unescaped(answer.mid(kMessageAnswer.size())));
    } else if (answer.startsWith(kExitAnswer)) {
        bool ok = false;
        const int status = answer.mid(kExitAnswer.size()).toInt(&ok);
        if (ok)
            return RunAnswer{RunAnswer::End::Finished, status};
        return RunAnswer{started ? RunAnswer::End::EndedDuringRun : RunAnswer::End::NotReached};
    }
    return std::nullopt;
}
