#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class TGenericServer;
class TPing;

// The cells of a list row that an ICMP result writes.
enum class TPingColumn : std::uint8_t
{
    Name,
    Map,
    Players,
    Ping,
};

// The server list as the ping sweep sees it: rows in display order, each
// with its record, and the cells it writes.
class TPingRows
{
public:
    virtual ~TPingRows() = default;

    virtual int RowCount() const = 0;
    // The record of a row; nullptr for a row without one.
    virtual const TGenericServer* RowServer(int row) const = 0;
    // The row that holds the record with that Id now; -1 once it is gone.
    virtual int RowOfServer(std::int32_t id) const = 0;
    // Shows Text in a cell of the row; the record is not touched.
    virtual void SetCellText(int row, TPingColumn column, const QString& text) = 0;
    // Keeps a measured round trip (ms) as the record's ping and shows it in
    // the row's ping cell.
    virtual void SetRoundTrip(int row, std::uint32_t milliseconds) = 0;
};

// The ICMP ping of the server list: one server at a time, in list order, a
// host lookup and then one echo each, every step answered from the event
// loop, so the window keeps working and the abort is heard.
class TPingSweep : public QObject
{
    Q_OBJECT

public:
    TPingSweep(TPingRows& rows, TPing& ping, QObject* parent = nullptr);

    // Where the status texts go.
    std::function<void(const QString&)> ShowStatus;

    // "&ICMP Ping All": every row from the first. An empty list does nothing.
    void PingAll();
    // "ICMP Ping Selected" and "&Ping": that row alone.
    void PingSelected(int row);
    // "&Abort ping!": takes effect when the sweep moves on to the next row.
    void AbortPing() { StopRequested_ = true; }

    bool Running() const { return State_ != TState::Idle; }
    int PingIndex() const { return PingIndex_; }
    bool Single() const { return Single_; }

signals:
    // The sweep or single ping ended, however it ended.
    void Finished();

private:
    enum class TState : std::uint8_t
    {
        Idle,
        LookingUp,
        Pinging,
    };

    void Start(int index, bool single);
    void PingNext(int index);
    void DnsLookupDone(int error);
    void EchoReply(int replies);
    void MoveOn();
    void End(const QString& status);
    void Status(const QString& text);

    TPingRows& Rows_;
    TPing& Ping_;
    TState State_ = TState::Idle;
    int PingIndex_ = 0;
    bool Single_ = false;
    bool StopRequested_ = false;
    // The record being pinged, found again by its identity when its result
    // comes, since rows may be removed or moved meanwhile.
    std::int32_t ServerId_ = 0;
    QString Host_;
};
