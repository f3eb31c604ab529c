#include "protocols/tribesquery.h"

#include "model/replybuffer.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {

bool IsBlank(char c)
{
    return std::uint8_t(c) <= 32;
}

QByteArrayView Trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && IsBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && IsBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

// Fills the placeholders "%" + key of a team or player line in one pass, so
// that a value (a player's name, say) goes in as it is and is never expanded
// in turn.
QByteArray FillTemplate(QByteArrayView line,
                        std::initializer_list<std::pair<char, QByteArrayView>> values)
{
    QByteArray result;
    result.reserve(line.size() + 32);
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '%' && i + 1 < line.size()) {
            const auto* value = std::find_if(values.begin(), values.end(),
                                             [&](const auto& v) { return v.first == line[i + 1]; });
            if (value != values.end()) {
                result.append(value->second);
                ++i;
                continue;
            }
        }
        result.append(line[i]);
    }
    return result;
}

THeader SplitColumns(QByteArrayView line, bool dropPrefix)
{
    THeader columns;
    bool first = true;
    for (qsizetype tab = line.indexOf('\t'); tab >= 0; tab = line.indexOf('\t')) {
        QByteArrayView column = line.first(tab);
        if (!first && dropPrefix) {
            column = column.sliced(qMin<qsizetype>(1, column.size()));
        }
        columns.append(column.toByteArray());
        first = false;
        line = Trimmed(line.sliced(tab + 1));
    }
    if (!line.isEmpty()) {
        columns.append((first || !dropPrefix ? line : line.sliced(1)).toByteArray());
    }
    return columns;
}

} // namespace

THeader TTribesQuery::RowSplit(QByteArrayView line)
{
    return SplitColumns(line, false);
}

THeader TTribesQuery::HeadingSplit(QByteArrayView line)
{
    return SplitColumns(line, true);
}

bool TTribesQuery::Decode(const TBasicData& reply, TTribesServer& server)
{
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(4) != "c**b") {
        return false;
    }
    cursor.CutLeft(4);
    if (cursor.TakePString() != "Tribes") {
        return false;
    }
    server = TTribesServer{};

    // A string cut short by the end of the datagram takes what remains and
    // everything after it reads as missing: a byte as 0, a string as empty.
    server.Version = cursor.TakePString();
    server.HostName = cursor.TakePString();
    server.Dedicated = cursor.ReadU8() == 1;
    server.Password = cursor.ReadU8() == 1;
    server.Players.Count = cursor.ReadU8();
    server.Players.Max = cursor.ReadU8();
    const int cpuLow = cursor.ReadU8();
    server.CPU = cpuLow + 256 * cursor.ReadU8();
    server.GameType = cursor.TakePString();
    server.MapType = cursor.TakePString();
    server.Map = cursor.TakePString();
    server.Description = cursor.TakePString();
    server.Teams.Count = cursor.ReadU8();
    server.Teams.Header = HeadingSplit(cursor.TakePString());
    server.Players.Header = HeadingSplit(cursor.TakePString());

    // The tables have as many rows as the counts announce. Rows the
    // datagram no longer carries read as missing, as every field does past
    // the end: a row cut short keeps what arrived and the rest are empty.
    // Both counts are single bytes, so the rows stay few.
    THeaderArray& teams = server.Teams.Rows;
    teams.reserve(server.Teams.Count);
    while (teams.size() < server.Teams.Count) {
        const QByteArray name = cursor.TakePString();
        teams.append(RowSplit(FillTemplate(cursor.TakePString(), {{'t', name}})));
    }

    THeaderArray& players = server.Players.Rows;
    players.reserve(server.Players.Count);
    while (players.size() < server.Players.Count) {
        const int ping = cursor.ReadU8() * 4;
        const int loss = cursor.ReadU8();
        const int team = cursor.ReadU8();
        const QByteArray name = cursor.TakePString();
        const QByteArray line = cursor.TakePString();
        const QByteArray teamName = team < teams.size() && !teams[team].isEmpty()
                                        ? teams[team].first()
                                        : QByteArray("Observer");
        players.append(RowSplit(FillTemplate(line, {{'n', name},
                                                    {'t', teamName},
                                                    {'p', QByteArray::number(ping)},
                                                    {'l', QByteArray::number(loss)}})));
    }
    server.Info = reply;
    return true;
}

void TTribesQuery::ProcessReply(const TBasicData& reply)
{
    TTribesServer server;
    if (!Decode(reply, server)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(server);
}
