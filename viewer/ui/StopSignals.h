#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace meshscope {

// Turns SIGTERM, SIGINT and SIGHUP into a call of onStop(signal) from the
// event loop, so the program ends as when its window is closed: the port
// closed, its lock released, the recording complete. One per program.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(std::function<void(int)> onStop, QObject* parent = nullptr);
    ~StopSignals() override;

private:
    std::function<void(int)> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace meshscope
