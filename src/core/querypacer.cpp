#include "core/querypacer.h"

#include "core/settings.h"

TQueryPacer::TQueryPacer(const TSettings& settings, TDispatch dispatch, QObject* parent)
    : QObject(parent), Settings_(settings), Dispatch_(std::move(dispatch))
{
    Timer_.setSingleShot(true);
    // A coarse timer may fire a little early; the delay is a lower bound.
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, &TQueryPacer::Step);
}

void TQueryPacer::Start(QList<std::int32_t> ids)
{
    Timer_.stop();
    Queue_ = std::move(ids);
    Next_ = 0;
    ++Round_;
    if (Queue_.isEmpty()) {
        emit Finished();
        return;
    }
    if (Settings_->UseDelay) {
        Schedule(); // the delay comes before every dispatch, the first included
    } else {
        Step();
    }
}

void TQueryPacer::Stop()
{
    Timer_.stop();
    Queue_.clear();
    Next_ = 0;
    ++Round_;
}

void TQueryPacer::Step()
{
    const std::uint64_t round = Round_;
    QElapsedTimer slice;
    slice.start();
    const int most = Settings_->UseDelay ? 1 : SliceCount;
    for (int done = 0; done < most && Next_ < Queue_.size(); ++done) {
        Dispatch_(Queue_[Next_++]);
        if (Round_ != round) {
            return; // the dispatch started or stopped a round itself
        }
        if (slice.elapsed() >= SliceMs) {
            break;
        }
    }
    if (Next_ < Queue_.size()) {
        Schedule();
        return;
    }
    Queue_.clear();
    Next_ = 0;
    emit Finished();
}

void TQueryPacer::Schedule()
{
    Timer_.start(Settings_->UseDelay ? Settings_->QueryDelay : 0);
}
