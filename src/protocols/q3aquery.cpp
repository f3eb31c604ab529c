#include "protocols/q3aquery.h"

#include "model/replybuffer.h"
#include "protocols/quaketext.h"

namespace {

// Takes the name in double quotes from what is left of a player line: the
// text between the first quote and the next one, when the line holds two
// quotes; otherwise the rest of the line as it is.
QByteArray QuotedName(QByteArrayView line)
{
    const qsizetype first = line.indexOf('"');
    const qsizetype last = line.lastIndexOf('"');
    if (first < 0 || first >= last) {
        return line.toByteArray();
    }
    const qsizetype close = line.indexOf('"', first + 1);
    QByteArray name = line.sliced(first + 1, close - first - 1).toByteArray();
    return name.contains('^') ? RemoveColorCodes(std::move(name)) : name;
}

} // namespace

bool TQ3AQuery::Decode(const TBasicData& reply, TQ3AServer& server)
{
    static const QByteArray header("\xFF\xFF\xFF\xFFstatusResponse", 18);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    server = TQ3AServer{};
    cursor.CutLeft(header.size());
    cursor.CutLeft(2); // a line feed and a backslash, not checked

    FillQuakeServer(server, reply, cursor.Rest(),
                    {"sv_maxclients", "sv_hostname", "mapname", "gamename", "version"}, QuotedName);
    server.Name = RemoveColorCodes(server.Name);
    return true;
}

void TQ3AQuery::ProcessReply(const TBasicData& reply)
{
    TQ3AServer server;
    if (!Decode(reply, server)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(server);
}
