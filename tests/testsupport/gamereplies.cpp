#include "gamereplies.h"

#include <cstring>

namespace {

QByteArray PString(const QByteArray& text)
{
    return char(text.size()) + text;
}

template <typename T> QByteArray LittleEndian(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

QByteArray Number(int value)
{
    return QByteArray::number(value);
}

QByteArray QuakeInfo(const TScriptedGameServer& server, const char* nameKey, const char* mapKey,
                     const char* modKey)
{
    return QByteArray(nameKey) + '\\' + server.Name + '\\' + mapKey + '\\' + server.Map +
           "\\maxclients\\" + Number(server.MaxPlayers) + '\\' + modKey + '\\' + server.Mod + '\n';
}

} // namespace

QByteArray Q3StatusReply(const QByteArray& name, const QByteArray& map, int maxPlayers,
                         const QList<QByteArray>& playerLines)
{
    QByteArray reply("\xFF\xFF\xFF\xFFstatusResponse\n\\", 20);
    reply += "sv_hostname\\" + name + "\\mapname\\" + map + "\\sv_maxclients\\" +
             Number(maxPlayers) + "\\gamename\\baseq3\\version\\Q3 1.32\n";
    for (const QByteArray& line : playerLines) {
        reply += line + '\n';
    }
    return reply;
}

QList<QByteArray> GameReply(TGameType game, const QByteArray& request,
                            const TScriptedGameServer& server)
{
    const QList<QByteArray>& players = server.Players;
    const auto score = [](qsizetype i) { return Number(int(3 + 5 * i)); };
    const auto ping = [](qsizetype i) { return Number(int(40 + 40 * i)); };
    const TGameInfo* info = GameInfo(game);
    if (!info) {
        return {};
    }
    switch (info->Protocol) {
    case TQueryProtocol::Quake3: {
        QList<QByteArray> lines;
        for (qsizetype i = 0; i < players.size(); ++i) {
            lines << score(i) + ' ' + ping(i) + " \"" + players[i] + '"';
        }
        return {Q3StatusReply(server.Name, server.Map, server.MaxPlayers, lines)};
    }
    case TQueryProtocol::Quake2: {
        QByteArray reply = QByteArray("\xFF\xFF\xFF\xFFprint\n\\", 11) +
                           QuakeInfo(server, "hostname", "mapname", "gamename");
        for (qsizetype i = 0; i < players.size(); ++i) {
            reply += score(i) + ' ' + ping(i) + " \"" + players[i] + "\"\n";
        }
        return {reply};
    }
    case TQueryProtocol::QuakeWorld: {
        QByteArray reply =
            QByteArray("\xFF\xFF\xFF\xFFn\\", 6) + QuakeInfo(server, "hostname", "map", "*gamedir");
        for (qsizetype i = 0; i < players.size(); ++i) {
            reply += Number(int(i + 1)) + ' ' + score(i) + " 12 " + ping(i) + " \"" + players[i] +
                     "\" \"base\" 4 11\n";
        }
        return {reply};
    }
    case TQueryProtocol::HalfLife:
        if (request.endsWith("details")) {
            return {QByteArray("\xFF\xFF\xFF\xFFm", 5) + "1.2.3.4:27015" + '\0' + server.Name +
                    '\0' + server.Map + '\0' + server.Mod + '\0' + "Mod" + '\0' +
                    char(players.size()) + char(server.MaxPlayers) + char(47) + "dl" +
                    QByteArray(2, '\0')};
        }
        if (request.endsWith("players")) {
            QByteArray reply = QByteArray("\xFF\xFF\xFF\xFF"
                                          "D",
                                          5) +
                               char(players.size());
            for (qsizetype i = 0; i < players.size(); ++i) {
                reply += char(i) + players[i] + '\0' + LittleEndian<std::int32_t>(3 + 5 * int(i)) +
                         LittleEndian<float>(150.0f);
            }
            return {reply};
        }
        return {QByteArray("\xFF\xFF\xFF\xFF"
                           "E",
                           5) +
                LittleEndian<std::int16_t>(1) + "mp_timelimit" + '\0' + "30" + '\0'};
    case TQueryProtocol::Tribes: {
        QByteArray reply = "c**b" + PString("Tribes") + PString("1.11") + PString(server.Name) +
                           QByteArray("\x01\x00", 2) + char(players.size()) +
                           char(server.MaxPlayers) + "\x90\x01" + PString(server.Mod) +
                           PString("Capture") + PString(server.Map) + PString("Desc") +
                           QByteArray(1, '\0') + PString("") + PString("Name\t&Ping");
        for (qsizetype i = 0; i < players.size(); ++i) {
            reply += char(10 + 10 * i) + QByteArray(1, '\0') + '\xFF' + PString(players[i]) +
                     PString("%n\t%p");
        }
        return {reply};
    }
    case TQueryProtocol::Tribes2: {
        if (request.startsWith('\x0E')) {
            return {QByteArray("\x10\x02\x00\x00\x00\x00", 6) + PString("25034") +
                    LittleEndian<std::uint32_t>(12) + LittleEndian<std::uint32_t>(25034) +
                    PString(server.Name)};
        }
        QByteArray reply =
            QByteArray("\x14\x02\x00\x00\x00\x00", 6) + PString(server.Mod) + PString("Capture") +
            PString(server.Map) + '\x01' + char(players.size()) + char(server.MaxPlayers) + '\0' +
            "\x90\x01" + PString("Desc") + QByteArray(2, '\0') + "2\nStorm\t10\nInferno\t5\nskip\n";
        for (qsizetype i = 0; i < players.size(); ++i) {
            reply += players[i] + "\tStorm\t" + score(i) + '\n';
        }
        return {reply};
    }
    }
    return {};
}
