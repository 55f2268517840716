#pragma once
// The photo batch of "批量执行" and --process on several cores. What must
// stay ordered stays ordered: the source check, the backup and the choice of
// the new name are made photo by photo in row order, each after every file
// it looks at has been settled by the photos before it; only the pixel work
// (decode, compose, encode, write) runs side by side. Names, counts and
// messages are those of a batch run one photo at a time.
#include "core/photooutput.h"

#include <QList>
#include <QObject>

#include <atomic>
#include <memory>

namespace pixplot::photobatch {

struct Item {
    PhotoRecord record;
    QString timeText;
    QString position;
    qint64 row = 0;        // its list row (1-based); 0: its place among the items
    FixMotion motion = {}; // altitude, speed and course written with the position
    std::optional<GeoPoint> degrees = {}; // the position's degrees where its text rounds them
};

// One worker per core.
int defaultJobs();

class PhotoBatch : public QObject {
    Q_OBJECT
public:
    // items in row order; jobs: photos worked on at
    // once (1: one after the other). The photos in flight share
    // memoryBudget bytes (0: half the machine's memory) by their
    // photooutput::memoryEstimate: large photos are taken fewer at once, and
    // one larger than the whole budget alone.
    PhotoBatch(QList<Item> items, photooutput::Options options, int jobs, QObject *parent = nullptr,
               qint64 memoryBudget = 0);
    // Cancels and waits for the photos in flight.
    ~PhotoBatch() override;

    // Starts in the background; the signals arrive in this object's thread.
    void start();
    // Starts no further photo; those in flight are finished.
    void cancel();
    // Starts and returns once the batch has finished (runs an event loop).
    void run();

    bool isRunning() const { return running_; }
    bool wasCancelled() const { return cancelled_; }
    qint64 total() const { return items_.size(); }
    qint64 finishedCount() const { return finished_; }
    qint64 failedCount() const { return failed_; }
    // The most photos that were worked on at once.
    int mostInFlight() const;
    // The outcome of item i once it has finished.
    const photooutput::Outcome &outcome(qint64 i) const { return outcomes_.at(i); }
    const Item &item(qint64 i) const { return items_.at(i); }

Q_SIGNALS:
    // Every photo in row order, once it and all before it have finished.
    void photoDone(qint64 index, const photooutput::Outcome &outcome);
    // As photos finish, in whatever order they do.
    void progress(qint64 finished, qint64 total);
    // After the last photo (or the last one in flight after cancel()).
    void done();

private:
    struct Shared;
    void onFinished(qint64 index, const photooutput::Outcome &outcome);
    void onAllDone();

    QList<Item> items_;
    photooutput::Options options_;
    int jobs_;
    std::shared_ptr<Shared> shared_;
    QList<photooutput::Outcome> outcomes_;
    QList<bool> ready_;
    qint64 nextReported_ = 0;
    qint64 finished_ = 0;
    qint64 failed_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
};

} // namespace pixplot::photobatch
