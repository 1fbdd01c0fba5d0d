#pragma once

#include <QObject>
#include <QTimer>

// The wait before trying a line again after a server or broker refused it:
// the first wait, then twice as long after each refusal in a row, up to the
// longest, so a refusing peer is not hammered (a broker may lock an account
// that fails to log in too often).
class RetryWait : public QObject {
    Q_OBJECT
public:
    RetryWait(int firstMs, int longestMs, QObject* parent = nullptr);

    // Starts the next, longer wait; elapsed follows at its end.
    void start();
    // Stops a wait under way and starts again from the first wait: the
    // line opened, or was closed on purpose.
    void reset();
    bool isActive() const { return timer_.isActive(); }
    // How long the next start waits.
    int nextMs() const;

signals:
    void elapsed();

private:
    QTimer timer_;
    int firstMs_;
    int longestMs_;
    int refusals_ = 0; // waits started since the last reset
};
