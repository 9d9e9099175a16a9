#pragma once
// Turns SIGTERM and SIGINT (a system shutdown, Ctrl+C in a terminal) into a Qt signal on the
// user-interface thread: the signal handler only writes one byte into a pipe, and a socket
// notifier on the other end emits terminationRequested(). One watcher per process.

#include <QObject>

class QSocketNotifier;

namespace orvex {

class CTerminationWatcher : public QObject {
    Q_OBJECT
public:
    explicit CTerminationWatcher(QObject* parent = nullptr);
    ~CTerminationWatcher() override;
    bool installed() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void readPipe();
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace orvex
