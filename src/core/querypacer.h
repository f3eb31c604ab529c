#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

// Sends a round of queries one server after another without holding the
// event loop. With a delay, each dispatch waits for it on a timer; without
// one, a short slice of dispatches runs per turn of the event loop, so
// replies, repaints and user commands run in between even when ten thousand
// servers are queried. The delay is asked for before each dispatch, so a
// changed setting takes effect at once.
class TQueryPacer : public QObject
{
    Q_OBJECT

public:
    using TDispatch = std::function<void(std::int32_t id)>;
    // The pause before each dispatch in ms; negative for none.
    using TDelay = std::function<int()>;

    TQueryPacer(TDelay delay, TDispatch dispatch, QObject* parent = nullptr);

    // Replaces any round in progress by one over Ids, dispatched in order.
    void Start(QList<std::int32_t> ids);
    // Drops the dispatches not made yet.
    void Stop();

    bool IsActive() const { return Next_ < Queue_.size(); }
    qsizetype Pending() const { return Queue_.size() - Next_; }

    // Without delay, one turn of the event loop dispatches at most this many
    // servers and stops early when the slice's time is used up.
    static constexpr int SliceCount = 64;
    static constexpr int SliceMs = 4;

signals:
    // The last server of the round was dispatched.
    void Finished();

private:
    void Step();
    void Schedule();

    TDelay Delay_;
    TDispatch Dispatch_;
    QList<std::int32_t> Queue_;
    qsizetype Next_ = 0;
    std::uint64_t Round_ = 0;
    QTimer Timer_;
};
