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
        // Two layouts follow the addresses. Half-Life's own dedicated
        // servers (GoldSource HLDS: Counter-Strike 1.6, Day of Defeat, ...;
        // tests/data/hl_details_cs16.bin) send one more string, always
        // empty, before the two numbers and the two flags, and since VAC
        // two more bytes after them (VAC and bot count): 11 or 13 bytes. The
        // older descriptions of the reply, and servers written from them,
        // leave the empty string out: 10 bytes, or 12 with those two. Only
        // the exact length tells them apart: a zero first byte does not, as
        // a version's low byte may be zero. Any other length (a reply cut
        // short or one with more after it) is read in the older layout.
        const qsizetype left = cursor.Remaining();
        if ((left == 11 || left == 13) && cursor.Rest()[0] == '\0') {
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
