// Decoding speed of each game protocol on the reply of a full, busy server:
// 16 to 32 players and 20 to 40 rules, as a real server of the game sends.
#include "benchutil.h"
#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

#include <cstring>

namespace {

const char* const kNames[] = {"Fragmaster", "[EU]Sniper", "Lucky Luke", "xXx_Killer", "Grunt",
                              "Anarki",     "Doom",       "Visor",      "Major",      "Sarge"};

QByteArray PlayerName(int i)
{
    return kNames[i % 10] + QByteArray::number(i);
}

QByteArray InfoString(int rules, const QByteArray& fixed)
{
    QByteArray info = fixed;
    for (int i = 0; info.count('\\') / 2 < rules; ++i) {
        info += "\\g_setting" + QByteArray::number(i) + "\\" + QByteArray::number(i * 37 % 1000);
    }
    return info;
}

QByteArray Quake3Reply()
{
    QByteArray data =
        QByteArray("\xFF\xFF\xFF\xFFstatusResponse\n", 19) +
        InfoString(30, "\\sv_hostname\\^1Red ^7Arena\\mapname\\q3dm17\\sv_maxclients\\"
                       "24\\gamename\\baseq3\\version\\Q3 1.32c") +
        '\n';
    for (int i = 0; i < 24; ++i) {
        data += QByteArray::number(i * 3) + ' ' + QByteArray::number(40 + i) + " \"^" +
                QByteArray::number(i % 8) + PlayerName(i) + "\"\n";
    }
    return data;
}

QByteArray Quake2Reply()
{
    QByteArray data = QByteArray("\xFF\xFF\xFF\xFFprint\n", 10) +
                      InfoString(30, "\\hostname\\Q2 Deathmatch\\mapname\\q2dm1\\maxclients\\24\\"
                                     "gamename\\baseq2\\version\\3.20 x86") +
                      '\n';
    for (int i = 0; i < 24; ++i) {
        data += QByteArray::number(i * 3) + ' ' + QByteArray::number(40 + i) + " \"" +
                PlayerName(i) + "\"\n";
    }
    return data;
}

QByteArray QuakeWorldReply()
{
    QByteArray data =
        QByteArray("\xFF\xFF\xFF\xFFn", 5) +
        InfoString(30, "\\hostname\\QW Arena\\map\\dm6\\maxclients\\24\\*gamedir\\qw\\"
                       "*version\\2.40\\*progs\\666") +
        '\n';
    for (int i = 0; i < 24; ++i) {
        QByteArray name = PlayerName(i);
        name[0] = char(name[0] | 0x80); // a high-set first letter
        data += QByteArray::number(i + 1) + ' ' + QByteArray::number(i * 2) + ' ' +
                QByteArray::number(30 + i) + ' ' + QByteArray::number(50 + i) + " \"" + name +
                "\" \"base\" " + QByteArray::number(i % 14) + ' ' + QByteArray::number(i % 13) +
                '\n';
    }
    return data;
}

QByteArray HalfLifeDetails()
{
    const char reply[] = "\xFF\xFF\xFF\xFFm"
                         "192.168.1.10:27015\0Clan Server | Dust2 only\0de_dust2\0cstrike\0"
                         "Counter-Strike\0\x18\x20\x2F"
                         "dl\x00\x01"
                         "www.counter-strike.net\0\0\0"
                         "\x01\x00\x00\x00\x00\x9E\xF7\x0A\x00\x01\x01\x00";
    return QByteArray(reply, sizeof reply - 1);
}

QByteArray HalfLifePlayers()
{
    QByteArray data("\xFF\xFF\xFF\xFF"
                    "D\x20",
                    6);
    for (int i = 0; i < 32; ++i) {
        const std::int32_t score = i * 3 - 5;
        const float time = 60.5f * float(i);
        char numbers[8];
        std::memcpy(numbers, &score, 4);
        std::memcpy(numbers + 4, &time, 4);
        data += char(i + 1) + PlayerName(i) + '\0' + QByteArray(numbers, 8);
    }
    return data;
}

QByteArray HalfLifeRules()
{
    QByteArray data("\xFF\xFF\xFF\xFF"
                    "E\x28\x00",
                    7);
    for (int i = 0; i < 40; ++i) {
        data += "mp_setting" + QByteArray::number(i) + '\0' + QByteArray::number(i * 7) + '\0';
    }
    return data;
}

QByteArray P(const QByteArray& text)
{
    return char(text.size()) + text;
}

QByteArray TribesReply()
{
    QByteArray data = "c**b" + P("Tribes") + P("1.11") + P("Tribes CTF Server") +
                      QByteArray("\x01\x00\x20\x20\x90\x01", 6) + P("base") + P("CTF") +
                      P("Raindance") + P("Capture the flag, admin: someone@example.org") + '\x02' +
                      P("Team\t!Score") + P("Name\t!Team\t!Score\t!Ping\t!PL") + P("Blood Eagle") +
                      P("%t\t42") + P("Diamond Sword") + P("%t\t37");
    for (int i = 0; i < 32; ++i) {
        const char bytes[] = {char(10 + i), char(i % 3), char(i % 2)};
        data += QByteArray(bytes, 3) + P(PlayerName(i)) +
                P("%n\t%t\t" + QByteArray::number(i) + "\t%p\t%l");
    }
    return data;
}

QByteArray Tribes2Ping()
{
    return QByteArray("\x10\x02\x00\x00\x00\x00", 6) + P("VER3") +
           QByteArray("\x18\x00\x00\x00\xB3\x5F\x00\x00", 8) + P("Tribes 2 CTF Server");
}

QByteArray Tribes2Info()
{
    QByteArray data = QByteArray("\x14\x02\x00\x00\x00\x00", 6) + P("CTF") + P("Capture the Flag") +
                      P("Katabatic") + QByteArray("\x01\x20\x20\x04\x90\x01", 6) +
                      P("Welcome to the server") + QByteArray(2, '\0') +
                      "2\nStorm\t42\nInferno\t37\n32\n";
    for (int i = 0; i < 32; ++i) {
        data += "\x10\x08" + PlayerName(i) + "\x11\t" + (i % 2 ? "Storm" : "Inferno") + '\t' +
                QByteArray::number(i * 3) + '\n';
    }
    return data;
}

template <typename TRecord, typename TDecode>
void Measure(const char* what, const QByteArray& reply, TDecode decode)
{
    const TBasicData data{"192.168.1.10", 27960, 50, 1, reply};
    TRecord record;
    if (!decode(data, record)) {
        std::printf("%s: the reply does not decode\n", what);
        return;
    }
    const double ns = MeasureNs([&] {
        TRecord fresh;
        decode(data, fresh);
    });
    const QByteArray label = QByteArray(what) + " (" + QByteArray::number(reply.size()) + " bytes)";
    PrintFigure(label.constData(), 1e9 / ns, "decodes/s");
}

} // namespace

int main()
{
    Measure<TQ3AServer>("Quake 3, 24 players, 30 rules", Quake3Reply(), TQ3AQuery::Decode);
    Measure<TQ2Server>("Quake 2, 24 players, 30 rules", Quake2Reply(), TQ2Query::Decode);
    Measure<TQWServer>("QuakeWorld, 24 players, 30 rules", QuakeWorldReply(), TQWQuery::Decode);
    Measure<THLInfo>("Half-Life details, with modification", HalfLifeDetails(),
                     THLInfoQuery::Decode);
    Measure<THLPlayers>("Half-Life players, 32 players", HalfLifePlayers(), THLPlayerQuery::Decode);
    Measure<THLRules>("Half-Life rules, 40 rules", HalfLifeRules(), THLRuleQuery::Decode);
    Measure<TTribesServer>("Tribes, 2 teams, 32 players", TribesReply(), TTribesQuery::Decode);
    Measure<TT2PingReply>("Tribes 2 ping", Tribes2Ping(), TT2PingQuery::Decode);
    Measure<TT2Server>("Tribes 2 info, 2 teams, 32 players", Tribes2Info(), TT2Query::Decode);
    return 0;
}
