#include "core/pingsweep.h"

#include "model/genericserver.h"
#include "model/icmpecho.h"

TPingSweep::TPingSweep(TPingRows& rows, TPing& ping, QObject* parent)
    : QObject(parent), Rows_(rows), Ping_(ping)
{
    connect(&Ping_, &TPing::OnDnsLookupDone, this, &TPingSweep::DnsLookupDone);
    connect(&Ping_, &TPing::OnEchoReply, this, &TPingSweep::EchoReply);
}

void TPingSweep::PingAll()
{
    if (Rows_.RowCount() > 0) {
        Start(0, false);
    }
}

void TPingSweep::PingSelected(int row)
{
    if (row >= 0 && row < Rows_.RowCount()) {
        Start(row, true);
    }
}

void TPingSweep::Start(int index, bool single)
{
    // A new command replaces a sweep still running; its answers are dropped.
    Ping_.CancelDnsLookup();
    Ping_.CancelEcho();
    State_ = TState::Idle;
    if (!Ping_.Open()) {
        Status(Ping_.ErrorText());
        emit Finished();
        return;
    }
    PingIndex_ = index;
    Single_ = single;
    StopRequested_ = false;
    PingNext(index);
}

void TPingSweep::PingNext(int index)
{
    for (;; ++index) {
        if (StopRequested_) {
            Ping_.CancelDnsLookup();
            End(QStringLiteral("Ping stopped."));
            return;
        }
        if (index >= Rows_.RowCount()) {
            End(QStringLiteral("Ping completed."));
            return;
        }
        const TGenericServer* server = Rows_.RowServer(index);
        if (!server) {
            if (Single_) {
                End({});
                return;
            }
            continue;
        }
        PingIndex_ = index;
        ServerId_ = server->Id;
        Host_ = server->Info.Host;
        State_ = TState::LookingUp;
        Ping_.DnsLookup(Host_);
        Status(QStringLiteral("Looking up host ") + Host_);
        return;
    }
}

void TPingSweep::DnsLookupDone(int error)
{
    if (State_ != TState::LookingUp) {
        return;
    }
    if (error != 0) {
        Status(QStringLiteral("Unable to resolve ") + Host_ + QStringLiteral("."));
        MoveOn();
        return;
    }
    Status(QStringLiteral("Found hostname for ") + Host_ + QStringLiteral(". Sending ping..."));
    State_ = TState::Pinging;
    Ping_.SetAddress(Ping_.DnsResult());
    Ping_.SendEcho();
}

void TPingSweep::EchoReply(int replies)
{
    if (State_ != TState::Pinging) {
        return;
    }
    // A row removed meanwhile takes its result with it.
    const int row = Rows_.RowOfServer(ServerId_);
    if (row >= 0 && Rows_.RowServer(row)) {
        if (replies > 0) {
            Rows_.SetRoundTrip(row, Ping_.Reply().RoundTripTime);
        } else {
            const QString none = QStringLiteral("---");
            Rows_.SetCellText(row, TPingColumn::Name, QStringLiteral("NO PING REPLY"));
            Rows_.SetCellText(row, TPingColumn::Map, none);
            Rows_.SetCellText(row, TPingColumn::Players, none);
            Rows_.SetCellText(row, TPingColumn::Ping, none);
        }
    }
    MoveOn();
}

void TPingSweep::MoveOn()
{
    if (Single_) {
        End({});
        return;
    }
    // The next row is the one after the record just pinged, wherever it is
    // now; when it is gone, the row that took its place.
    const int row = Rows_.RowOfServer(ServerId_);
    PingNext(row >= 0 ? row + 1 : PingIndex_);
}

void TPingSweep::End(const QString& status)
{
    State_ = TState::Idle;
    if (!status.isEmpty()) {
        Status(status);
    }
    emit Finished();
}

void TPingSweep::Status(const QString& text)
{
    if (ShowStatus) {
        ShowStatus(text);
    }
}
