#pragma once

#include <variant>

#include "model/genericserver.h"
#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

// The decoded reply of any query component, as the query coordinator hands
// it on.
using TQueryReply = std::variant<TQ3AServer, TQ2Server, TQWServer, TTribesServer, TT2PingReply,
                                 TT2Server, THLInfo, THLPlayers, THLRules>;

// The request a reply answers: host, port, round trip and the bytes.
const TBasicData& ReplyInfo(const TQueryReply& reply);

// What of a row a reply changed, beyond its record.
enum class TReplyShows
{
    Row,     // the whole row: texts, icon, colour (the record is answered)
    Icon,    // the icon (a new player table), and the details of the server
    Details, // only the players and rules of the server
};

// Copies a reply into its record as the server list shows it: the reply's
// own step (ApplyQuakeReply, ApplyHLInfoReply, ...), and for a reply that
// shows in the row, the record becomes answered (qsIdle, NoReply false).
TReplyShows ApplyReply(TGenericServer& server, const TQueryReply& reply);
