#include "core/photobatch.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QThreadPool>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace pixplot::photobatch {
namespace {

QString pathKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

int defaultJobs()
{
    return std::max(1, QThread::idealThreadCount());
}

struct PhotoBatch::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    // Files that photos in flight read, write or remove, with how many do.
    QHash<QString, int> busy;
    int inFlight = 0;
    int mostInFlight = 0;
    qint64 budget = 0;
    qint64 memoryInUse = 0; // the estimates of the photos in flight
    std::atomic<bool> cancel{false};
    std::thread coordinator;
    QThreadPool pool;

    bool isBusy(const QString &path) const { return busy.contains(pathKey(path)); }
    void hold(const QStringList &paths, qint64 memory)
    {
        for (const QString &p : paths)
            ++busy[pathKey(p)];
        ++inFlight;
        mostInFlight = std::max(mostInFlight, inFlight);
        memoryInUse += memory;
    }
    void release(const QStringList &paths, qint64 memory)
    {
        for (const QString &p : paths) {
            const QString key = pathKey(p);
            if (--busy[key] == 0)
                busy.remove(key);
        }
        --inFlight;
        memoryInUse -= memory;
    }
    // Whether a photo taking memory may start beside those in flight.
    bool hasRoom(int jobs, qint64 memory) const
    {
        return inFlight == 0 || (inFlight < jobs && memoryInUse + memory <= budget);
    }
    // Whether the ordered step for this photo would look at a file that a
    // photo in flight is still changing: its source, the backup names it
    // tries, the new names it tries. Called with the mutex held.
    bool touchesBusy(const Item &item, qint64 row, const photooutput::Options &options) const
    {
        const PhotoRecord &r = item.record;
        if (isBusy(r.folder + r.fileName))
            return true;
        const QString ext = r.fileName.right(4);
        const QString base = r.fileName.left(qMax<qsizetype>(0, r.fileName.size() - 4));
        // The probing loops of the backup and of the free name, as they run.
        const auto probes = [this](const QString &folder, const QString &name) {
            const QString e = name.right(4);
            const QString b = name.left(qMax<qsizetype>(0, name.size() - 4));
            QString candidate = folder + name;
            for (qint64 n = 1;; ++n) {
                if (isBusy(candidate))
                    return true;
                if (!QFileInfo::exists(candidate))
                    return false;
                candidate = folder + b + QLatin1Char('_') + QString::number(n) + e;
            }
        };
        if (options.backup && probes(r.folder + QStringLiteral("BackUp/"), base + ext))
            return true;
        const QString newName =
            photooutput::newFileName(r, item.timeText, options.rename, options.prefix, row);
        return newName != r.fileName && probes(r.folder, newName);
    }
};

PhotoBatch::PhotoBatch(QList<Item> items, photooutput::Options options, int jobs, QObject *parent,
                       qint64 memoryBudget)
    : QObject(parent), items_(std::move(items)), options_(std::move(options)), jobs_(std::max(1, jobs)),
      shared_(std::make_shared<Shared>())
{
    outcomes_.resize(items_.size());
    ready_.fill(false, items_.size());
    shared_->pool.setMaxThreadCount(jobs_);
    shared_->budget = memoryBudget > 0 ? memoryBudget : photooutput::machineMemory() / 2;
}

int PhotoBatch::mostInFlight() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->mostInFlight;
}

PhotoBatch::~PhotoBatch()
{
    shared_->cancel = true;
    shared_->changed.notify_all();
    if (shared_->coordinator.joinable())
        shared_->coordinator.join();
    shared_->pool.waitForDone();
}

void PhotoBatch::start()
{
    if (running_ || shared_->coordinator.joinable())
        return;
    running_ = true;
    emit progress(0, total());
    std::shared_ptr<Shared> shared = shared_;
    const QList<Item> items = items_;
    const photooutput::Options options = options_;
    const int jobs = jobs_;
    shared->coordinator = std::thread([this, shared, items, options, jobs] {
        Shared &s = *shared;
        for (qint64 i = 0; i < items.size(); ++i) {
            const Item &item = items.at(i);
            const qint64 row = item.row > 0 ? item.row : i + 1;
            const qint64 memory =
                photooutput::memoryEstimate(item.record.folder + item.record.fileName, options);
            {
                std::unique_lock lock(s.mutex);
                s.changed.wait(lock, [&] { return s.hasRoom(jobs, memory) || s.cancel; });
                // A file the choices depend on is still being changed: let
                // the photos before settle it first.
                if (!s.cancel && s.touchesBusy(item, row, options))
                    s.changed.wait(lock, [&] { return s.inFlight == 0 || s.cancel; });
                if (s.cancel)
                    break;
            }
            photooutput::Prepared prepared =
                photooutput::preparePhoto(item.record, row, item.timeText, options);
            if (prepared.finished()) {
                const photooutput::Outcome out = prepared.outcome;
                QMetaObject::invokeMethod(
                    this, [this, i, out] { onFinished(i, out); }, Qt::QueuedConnection);
                continue;
            }
            const QStringList paths{prepared.src, prepared.dst};
            {
                std::lock_guard lock(s.mutex);
                s.hold(paths, memory);
            }
            s.pool.start([this, shared, item, row, i, prepared, options, paths, memory] {
                // One worker's pictures stay with it from photo to photo.
                thread_local photooutput::FrameBuffers buffers;
                const photooutput::Outcome out =
                    photooutput::completePhoto(item.record, prepared, item.timeText, item.position, options,
                                               &buffers, item.motion, item.degrees);
                {
                    std::lock_guard lock(shared->mutex);
                    shared->release(paths, memory);
                }
                shared->changed.notify_all();
                QMetaObject::invokeMethod(
                    this, [this, i, out] { onFinished(i, out); }, Qt::QueuedConnection);
            });
        }
        s.pool.waitForDone();
        QMetaObject::invokeMethod(
            this, [this] { onAllDone(); }, Qt::QueuedConnection);
    });
}

void PhotoBatch::cancel()
{
    if (!running_)
        return;
    cancelled_ = true;
    shared_->cancel = true;
    shared_->changed.notify_all();
}

void PhotoBatch::run()
{
    QEventLoop loop;
    connect(this, &PhotoBatch::done, &loop, &QEventLoop::quit);
    start();
    if (running_)
        loop.exec();
}

void PhotoBatch::onFinished(qint64 index, const photooutput::Outcome &outcome)
{
    outcomes_[index] = outcome;
    ready_[index] = true;
    ++finished_;
    if (!outcome.ok())
        ++failed_;
    emit progress(finished_, total());
    while (nextReported_ < total() && ready_.at(nextReported_)) {
        emit photoDone(nextReported_, outcomes_.at(nextReported_));
        ++nextReported_;
    }
}

void PhotoBatch::onAllDone()
{
    if (shared_->coordinator.joinable())
        shared_->coordinator.join();
    running_ = false;
    cancelled_ = cancelled_ && finished_ < total();
    emit done();
}

} // namespace pixplot::photobatch
