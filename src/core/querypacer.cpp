#include "core/querypacer.h"

TQueryPacer::TQueryPacer(TDelay delay, TDispatch dispatch, QObject* parent)
    : QObject(parent), Delay_(std::move(delay)), Dispatch_(std::move(dispatch))
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
    if (Delay_() >= 0) {
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
    const int most = Delay_() >= 0 ? 1 : SliceCount;
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
    // A dispatch that ran the event loop may have let a nested step get here
    // first; the round ends once.
    ++Round_;
    emit Finished();
}

void TQueryPacer::Schedule()
{
    Timer_.start(qMax(0, Delay_()));
}
