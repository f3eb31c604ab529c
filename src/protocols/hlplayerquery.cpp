#include "protocols/hlplayerquery.h"

#include "model/replybuffer.h"

namespace {

// Slot, a name ended by a zero byte, score and time.
constexpr qsizetype MinPlayerBytes = 1 + 1 + 4 + 4;

// Whether Cursor holds a whole player entry.
bool HasPlayer(TReplyCursor cursor)
{
    return cursor.CutLeft(1) && cursor.SkipPast('\0') && cursor.Remaining() >= 8;
}

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

    // The list ends at the announced count or at the last entry the datagram
    // holds whole, whichever comes first; Count is the number delivered.
    const int announced = cursor.ReadU8();
    players.Players.reserve(qMin<qsizetype>(announced, cursor.Remaining() / MinPlayerBytes));
    while (players.Players.size() < announced && HasPlayer(cursor)) {
        THLPlayers::TPlayer player;
        player.Index = cursor.ReadU8();
        player.Name = cursor.TakeToken('\0');
        cursor.ReadBytes(player.Score);
        cursor.ReadBytes(player.Time);
        players.Players.append(std::move(player));
    }
    players.Count = std::uint8_t(players.Players.size());
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
