#include "protocols/hlinfoquery.h"

#include "model/replybuffer.h"

bool THLInfoQuery::Decode(const TBasicData& reply, THLInfo& info)
{
    static const QByteArray header("\xFF\xFF\xFF\xFFm", 5);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    info = THLInfo{};
    cursor.CutLeft(header.size());

    // Strings end at a zero byte; one that the datagram cuts short takes the
    // rest, and every item after it reads as missing. A missing byte reads as
    // 0, so a reply that ends early gives no listen server, an unknown
    // system, no password and no modification.
    cursor.TakeToken('\0'); // the server's own address
    info.Name = cursor.TakeToken('\0');
    info.Map = cursor.TakeToken('\0');
    info.GameDir = cursor.TakeToken('\0');
    info.Description = cursor.TakeToken('\0');
    info.NumPlayers = cursor.ReadU8();
    info.MaxPlayers = cursor.ReadU8();
    info.Protocol = cursor.ReadU8();
    info.Listen = cursor.ReadU8() == 'l' ? 1 : 0;
    const std::uint8_t os = cursor.ReadU8();
    info.OS = os == 'l' ? 1 : os == 'w' ? 0 : 2;
    info.Password = cursor.ReadU8();

    TModInfo& mod = info.Mod;
    mod.IsMod = cursor.ReadU8();
    if (mod.IsMod != 0) {
        mod.InfoURL = cursor.TakeToken('\0');
        mod.DownloadURL = cursor.TakeToken('\0');
        // Servers send one more string here, always empty: a zero byte before
        // the two numbers and the two flag bytes (ten bytes). Older
        // descriptions of the reply leave it out, so it is skipped only when
        // the reply is long enough to hold it as well.
        if (cursor.Remaining() >= 11 && cursor.Rest()[0] == '\0') {
            cursor.CutLeft(1);
        }
        cursor.TakeBytes(mod.ModVersion);
        cursor.TakeBytes(mod.ModSize);
        mod.ServerOnly = cursor.ReadU8();
        mod.CustomDLL = cursor.ReadU8();
    }
    info.Info = reply;
    return true;
}

void THLInfoQuery::ProcessReply(const TBasicData& reply)
{
    THLInfo info;
    if (!Decode(reply, info)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(info);
}
