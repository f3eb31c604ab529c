// Saves pages of a few answered servers with the program's own template set,
// for looking at them in a browser: shot_htmlexport FOLDER (not a test). The
// servers' replies go through the real decoders and result steps.

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

#include "core/htmlexport.h"
#include "core/htmltemplates.h"
#include "core/serverresults.h"
#include "gamereplies.h"
#include "protocols/q3aquery.h"

namespace {

TBasicData Reply(const QByteArray& data, const char* host, int port, std::uint32_t ping)
{
    TBasicData reply;
    reply.Host = QString::fromLatin1(host);
    reply.Port = port;
    reply.Ping = ping;
    reply.Data = data;
    return reply;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: shot_htmlexport FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString templates = folder + QStringLiteral("/Templates/");
    QString error;
    if (!InstallHtmlTemplates(templates, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    const auto save = [&](const TGenericServer& server, const char* file) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(file);
        if (!SaveHTML(server, path, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    };

    const QList<QByteArray> names = {"Sarge",        "^1Ranger",      "Caf\xE9 Racer",
                                     "<b>Visor</b>", "Major & Minor", "Doom"};
    bool ok = true;

    auto quake3 = TGenericServer::Create(templates);
    quake3->GameType = gtQuake3;
    TQ3AServer q3;
    TQ3AQuery::Decode(Reply(GameReply(gtQuake3, TQ3AQuery::Request(),
                                      {"^3Quad ^7Damage Arena", "q3dm17", 16, "baseq3", names})
                                .first(),
                            "192.0.2.10", 27960, 48),
                      q3);
    ApplyQuakeReply(*quake3, q3);
    // A value longer than a line, as message-of-the-day rules are.
    quake3->AddRule("sv_motd", "Welcome! Rules, ladder and demos at "
                               "http://quad-damage-arena.example/community/ladder/season-12/"
                               "standings?sort=frags&order=descending&page=1");
    quake3->NoReply = false;
    ok &= save(*quake3, "quake3.html");

    auto tribes2 = TGenericServer::Create(templates);
    tribes2->GameType = gtTribes2;
    const TScriptedGameServer t2Server{"Storm vs Inferno CTF", "Katabatic", 32, "Classic",
                                       names.mid(0, 4)};
    TT2PingReply ping;
    TT2PingQuery::Decode(Reply(GameReply(gtTribes2, TT2PingQuery::Request(), t2Server).first(),
                               "198.51.100.7", 28000, 95),
                         ping);
    ApplyT2PingReply(*tribes2, ping);
    TT2Server t2;
    TT2Query::Decode(Reply(GameReply(gtTribes2, TT2Query::Request(), t2Server).first(),
                           "198.51.100.7", 28000, 95),
                     t2);
    ApplyT2InfoReply(*tribes2, t2);
    tribes2->NoReply = false;
    ok &= save(*tribes2, "tribes2.html");

    auto empty = TGenericServer::Create(templates);
    empty->GameType = gtQuake3;
    TQ3AServer q3Empty;
    TQ3AQuery::Decode(Reply(Q3StatusReply("<script>alert('x')</script> $map", "q3tourney2", 4),
                            "203.0.113.5", 27961, 210),
                      q3Empty);
    ApplyQuakeReply(*empty, q3Empty);
    empty->NoReply = false;
    ok &= save(*empty, "empty.html");
    return ok ? 0 : 1;
}
