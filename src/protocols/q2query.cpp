#include "protocols/q2query.h"

#include "model/replybuffer.h"
#include "protocols/quaketext.h"

namespace {

// The text between the first double quote and the next one, reduced to
// blanks, digits and ASCII letters; empty unless the line holds two quotes.
QByteArray FilteredName(QByteArrayView line)
{
    const qsizetype first = line.indexOf('"');
    if (first < 0 || first >= line.lastIndexOf('"')) {
        return {};
    }
    const qsizetype close = line.indexOf('"', first + 1);
    QByteArray name;
    for (qsizetype i = first + 1; i < close; ++i) {
        const char c = line[i];
        if (c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
            (c >= 'a' && c <= 'z')) {
            name.append(c);
        }
    }
    return name;
}

} // namespace

bool TQ2Query::Decode(const TBasicData& reply, TQ2Server& server)
{
    static const QByteArray header("\xFF\xFF\xFF\xFFprint", 9);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    server = TQ2Server{};
    cursor.CutLeft(header.size());
    cursor.CutLeft(2); // a line feed and a backslash, not checked

    FillQuakeServer(server, reply, cursor.Rest(),
                    {"maxclients", "hostname", "mapname", "gamename", "version"}, FilteredName);
    return true;
}

void TQ2Query::ProcessReply(const TBasicData& reply)
{
    TQ2Server server;
    if (!Decode(reply, server)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(server);
}
