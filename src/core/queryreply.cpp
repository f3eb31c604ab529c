#include "core/queryreply.h"

#include "core/serverresults.h"

namespace {

template <typename... T> struct TOverloaded : T...
{
    using T::operator()...;
};
// Spelled out for compilers that do not deduce an aggregate's arguments
// (clang before 17, which builds the fuzz targets).
template <typename... T> TOverloaded(T...) -> TOverloaded<T...>;

} // namespace

const TBasicData& ReplyInfo(const TQueryReply& reply)
{
    return std::visit([](const auto& record) -> const TBasicData& { return record.Info; }, reply);
}

TReplyShows ApplyReply(TGenericServer& server, const TQueryReply& reply)
{
    const TReplyShows shows = std::visit(
        TOverloaded{
            [&](const TQ3AServer& r) { return ApplyQuakeReply(server, r), TReplyShows::Row; },
            [&](const TQ2Server& r) { return ApplyQuakeReply(server, r), TReplyShows::Row; },
            [&](const TQWServer& r) { return ApplyQuakeWorldReply(server, r), TReplyShows::Row; },
            [&](const TTribesServer& r) { return ApplyTribesReply(server, r), TReplyShows::Row; },
            [&](const TT2PingReply& r) { return ApplyT2PingReply(server, r), TReplyShows::Row; },
            [&](const TT2Server& r) { return ApplyT2InfoReply(server, r), TReplyShows::Row; },
            [&](const THLInfo& r) { return ApplyHLInfoReply(server, r), TReplyShows::Row; },
            [&](const THLPlayers& r) { return ApplyHLPlayersReply(server, r), TReplyShows::Icon; },
            [&](const THLRules& r) { return ApplyHLRulesReply(server, r), TReplyShows::Details; },
        },
        reply);
    if (shows == TReplyShows::Row) {
        server.Status = qsIdle;
        server.NoReply = false;
    }
    return shows;
}
