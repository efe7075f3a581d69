#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;
class RunOutput;

// One copy of the program per user, as befits a tray program: two copies
// would each write back their own lists and options at close, and the last
// one closed would silently undo the other's changes.
//
// The first copy holds a lock on a file in the user's runtime folder and
// listens on a local socket beside it; a later start finds the lock taken,
// asks the first copy through the socket to show its window, and ends. The
// kernel drops the lock of a copy that died, and the next first copy
// replaces the socket it left behind, so nothing stops the next start.
//
// A run from the command line ("folderly --run") claims nothing: it asks
// the first copy, when there is one, to make the run, so that the run works
// on the lists the window shows and nothing runs beside the window's runs.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The user's runtime folder: $XDG_RUNTIME_DIR, else the session's
    // /run/user/<uid> when there is one, else a private folderly-<uid> in
    // $TMPDIR or /tmp; empty when even that one is not the user's alone.
    static QString DefaultFolder();

    // folder empty: no copy is found, and none is kept from starting.
    explicit SingleInstance(QString folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first copy. Also true when the runtime folder
    // cannot hold the lock: a program that runs unguarded is better than one
    // that does not start.
    bool Claim();
    // The first copy, once started: takes the requests of later starts.
    // One that comes earlier waits for this (a start may show boxes first).
    void Listen();
    // A later copy: asks the first one to show its window. False when it
    // could not be reached.
    bool AskFirstToShow();

    // Without claiming: whether a first copy holds the lock now.
    bool FirstCopyRunning() const;

    // Runs on change from the command line (folderly --watch) hold a lock of
    // their own: one watcher at a time, and a window that starts beside it
    // leaves the runs on change to it. False when another watcher holds it.
    bool ClaimWatcher();
    bool WatcherRunning() const;

    // What came of asking the first copy for a run.
    struct RunAnswer {
        enum class End {
            Finished,  // the run's status came
            NotReached,  // no run was made: the first copy could not be reached or went away
            Busy,  // no run was made: the first copy stayed busy for the whole wait
            EndedDuringRun,  // the first copy went away after the run had begun
        };
        End end;
        int status = 0;  // with Finished
    };
    // A later copy: asks the first one for a run and passes on what the run
    // reports as it comes. A run that has begun is waited for however long
    // it takes; one that could not begin within wait is not made at all.
    RunAnswer AskFirstToRun(RunOutput& output, std::chrono::milliseconds wait);

    // The first copy's run for a later start, reporting to output; nothing
    // while it cannot run now (its own run waits for a confirmation): the
    // request is then taken up again a moment later, until the asking copy's
    // wait is over.
    using RunHandler = std::function<std::optional<int>(RunOutput& output)>;
    void SetRunHandler(RunHandler handler) { m_runHandler = std::move(handler); }

signals:
    // A later start asked this copy to show its window.
    void ShowRequested();

private:
    QString LockPath() const;
    QString SocketPath() const;
    bool ConnectToFirst(QLocalSocket& socket) const;
    void TakeRequest(QLocalSocket* socket);
    void RunFor(QLocalSocket* socket, qint64 deadline);
    // One answer of the first copy to a run request; the end, once there is one.
    static std::optional<RunAnswer> TakeAnswer(const QByteArray& answer, RunOutput& output, bool& started);

    QString m_folder;
    int m_lock = -1;
    int m_watcherLock = -1;
    QLocalServer* m_server = nullptr;
    RunHandler m_runHandler;
};
