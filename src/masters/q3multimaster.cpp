#include "masters/q3multimaster.h"

TQ3MultiMaster::TQ3MultiMaster(QObject* owner) : TQ3Master(owner)
{
    Gap_.setSingleShot(true);
    connect(&Gap_, &QTimer::timeout, this, &TQ3MultiMaster::NextVersion);
}

void TQ3MultiMaster::SetVersions(const QList<std::int32_t>& versions)
{
    if (!versions.isEmpty()) {
        Versions_ = versions;
    }
}

void TQ3MultiMaster::Request()
{
    ++List_;
    Seen_.clear();
    Step_ = 0;
    Answered_ = false;
    Complete_ = true;
    Ask();
}

void TQ3MultiMaster::Ask()
{
    Gap_.stop();
    SetVersion(Versions_[Step_]);
    TQ3Master::Request();
}

void TQ3MultiMaster::NextVersion()
{
    Gap_.stop();
    if (Step_ >= Versions_.size()) {
        return;
    }
    if (++Step_ < Versions_.size()) {
        Ask();
        return;
    }
    emit OnListEnd(Complete_);
}

qsizetype TQ3MultiMaster::EndOfList(QByteArrayView data)
{
    // The entry stands where an entry would: a separator every 7 bytes.
    for (qsizetype at = 0; at < data.size(); at += 7) {
        const QByteArrayView entry = data.sliced(at);
        if (entry.startsWith("\\EOT") || entry.startsWith("\\EOF")) {
            return at;
        }
    }
    return -1;
}

void TQ3MultiMaster::ProcessReply(QByteArrayView data)
{
    if (Step_ >= Versions_.size()) {
        return; // a datagram after the last list ended
    }
    Answered_ = true;
    const std::uint64_t list = List_;
    // Nothing after the end entry is a server, whichever marker it is.
    const qsizetype end = EndOfList(data);
    for (const TMasterServer& server : Decode(end < 0 ? data : data.first(end))) {
        const std::uint64_t key = MasterServerKey(server);
        if (Seen_.contains(key)) {
            continue;
        }
        Seen_.insert(key);
        emit OnServer(server);
        if (list != List_) {
            return; // a handler asked again
        }
    }
    if (end >= 0) {
        NextVersion();
    } else {
        Gap_.start(ListGap_);
    }
}

void TQ3MultiMaster::RequestTimedOut()
{
    Complete_ = false;
    if (Step_ + 1 < Versions_.size()) {
        NextVersion();
    } else if (!Answered_) {
        Step_ = Versions_.size();
        TQ3Master::RequestTimedOut();
    } else {
        NextVersion();
    }
}
