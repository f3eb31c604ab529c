#include "protocols/hlplayerquery.h"

#include "model/replybuffer.h"

namespace {

// Slot, a name ended by a zero byte, score and time.
constexpr qsizetype MinPlayerBytes = 1 + 1 + 4 + 4;

} // namespace

bool THLPlayerQuery::Decode(const TBasicData& reply, THLPlayers& players)
{
    static const QByteArray header("\xFF\xFF\xFF\xFF"
                                   "D",
                                   5);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    players = THLPlayers{};
    cursor.CutLeft(header.size());

    // Count is the number the server announced. The list holds the players
    // the datagram carries, up to that count: an entry cut off by the end
    // keeps what arrived (a name without its zero takes the rest, a number
    // cut short reads as 0), so the list may be shorter than Count but never
    // longer, and never larger than the bytes can hold.
    players.Count = cursor.ReadU8();
    players.Players.reserve(
        qMin<qsizetype>(players.Count, cursor.Remaining() / MinPlayerBytes + 1));
    while (players.Players.size() < players.Count && !cursor.AtEnd()) {
        THLPlayers::TPlayer player;
        player.Index = cursor.ReadU8();
        player.Name = cursor.TakeToken('\0');
        cursor.TakeBytes(player.Score);
        cursor.TakeBytes(player.Time);
        players.Players.append(std::move(player));
    }
    players.Info = reply;
    return true;
}

void THLPlayerQuery::ProcessReply(const TBasicData& reply)
{
    THLPlayers players;
    if (!Decode(reply, players)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(players);
}
