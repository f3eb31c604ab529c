#include "protocols/t2pingquery.h"

#include "model/replybuffer.h"

bool TT2PingQuery::Decode(const TBasicData& reply, TT2PingReply& ping)
{
    static const QByteArray header("\x10\x02\x00\x00\x00\x00", 6);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    ping = TT2PingReply{};
    cursor.CutLeft(header.size());
    // A number not wholly present is 0; a string cut short takes the rest.
    ping.Version = cursor.TakePString();
    cursor.TakeBytes(ping.MinNetProtocol);
    cursor.TakeBytes(ping.BuildVersion);
    ping.HostName = cursor.TakePString();
    ping.Info = reply;
    return true;
}

void TT2PingQuery::ProcessReply(const TBasicData& reply)
{
    TT2PingReply ping;
    if (!Decode(reply, ping)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(ping);
}
