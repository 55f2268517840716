#pragma once
// The logger's end of a pseudo-terminal for tests: trekport opens the slave
// device, the test reads the request and writes frames on the master.
#include <QByteArray>
#include <QString>

class PtyLogger {
public:
    PtyLogger();
    ~PtyLogger();
    PtyLogger(const PtyLogger &) = delete;
    PtyLogger &operator=(const PtyLogger &) = delete;

    bool isValid() const { return master_ >= 0; }
    QString devicePath() const { return path_; }
    bool send(const QByteArray &bytes);
    // Whatever the host wrote, waiting up to timeoutMs for the first byte.
    QByteArray receive(int timeoutMs);
    // Pulls the plug: the host's next read fails.
    void unplug();

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};
