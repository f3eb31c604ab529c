// Fills the main window with loopback servers, runs a query round and saves
// a picture of the window: build/tests/browser/shot_serverlist out.png
#include <QApplication>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <memory>
#include <vector>

#include "browser/frmserverlist.h"
#include "core/settings.h"
#include "fakeudpserver.h"
#include "model/apppaths.h"
#include "scripteddialogs.h"

namespace {

struct TShotServer
{
    const char* Name;
    const char* Map;
    int Max;
    QList<QByteArray> Players;
};

QByteArray Q3Reply(const TShotServer& server)
{
    QByteArray reply("\xFF\xFF\xFF\xFFstatusResponse\n\\", 20);
    reply += QByteArray("sv_hostname\\") + server.Name + "\\mapname\\" + server.Map +
             "\\sv_maxclients\\" + QByteArray::number(server.Max) +
             "\\gamename\\baseq3\\version\\Q3 1.32c linux-i386\\g_gametype\\0\\fraglimit\\30"
             "\\timelimit\\20\\sv_pure\\1\n";
    for (const QByteArray& player : server.Players) {
        reply += player + '\n';
    }
    return reply;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shot.png");
    QTemporaryDir root;
    TAppPaths::SetRoot(root.path());

    TSettings settings;
    settings.Change([](TSettingsValues& values) {
        values.QueryTimeout = 400;
        values.Retry = 0;
        values.UseBuddyList = true;
        values.Buddies = {{"Sarge", true}};
    });
    TScriptedDialogs dialogs;
    TfrmServerList window(settings, dialogs);

    const std::vector<TShotServer> shots = {
        {"^1Red ^7Rocket Arena",
         "q3dm6",
         16,
         {"25 48 \"^1Sarge\"", "19 61 \"Doom\"", "7 35 \"Anarki\""}},
        {"Frag Central [CTF]",
         "q3ctf2",
         20,
         {"40 20 \"Visor\"", "33 88 \"Keel\"", "12 40 \"Major\"", "3 120 \"Daemia\""}},
        {"Night Shift Duel", "q3tourney2", 2, {"14 31 \"Hunter\""}},
        {"Old School Deathmatch", "q3dm17", 12, {}},
        {"The Longest Yard 24/7", "q3dm17", 16, {"8 55 \"Orbb\"", "6 70 \"Bitterman\""}},
        {"Clan Arena Europe", "q3dm13", 14, {"21 44 \"Slash\"", "17 52 \"Razor\""}},
        {"Instagib Madness", "q3dm7", 18, {"50 25 \"Xaero\""}},
        {"Sunday Practice", "q3dm1", 8, {}},
    };
    std::vector<std::unique_ptr<TFakeUdpServer>> servers;
    for (const TShotServer& shot : shots) {
        auto server = std::make_unique<TFakeUdpServer>();
        server->SetReply(Q3Reply(shot));
        window.AddServer(server->Address(), server->Port(), gtQuake3);
        servers.push_back(std::move(server));
    }
    // Two that never answer.
    for (int i = 0; i < 2; ++i) {
        auto server = std::make_unique<TFakeUdpServer>();
        server->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
        window.AddServer(server->Address(), server->Port(), gtQuake3);
        servers.push_back(std::move(server));
    }
    window.AddServer(QStringLiteral("127.0.0.1"), 27015, gtHalfLife);
    window.AddServer(QStringLiteral("127.0.0.1"), 28001, gtTribes);
    window.AddServer(QStringLiteral("127.0.0.1"), 27910, gtQuake2);
    window.SetFavorite(1, true);

    window.show();
    window.QueryAll();
    QObject::connect(&window, &TfrmServerList::QueryRoundFinished, &app, [&] {
        QTimer::singleShot(100, &app, [&] {
            auto* list = window.findChild<QTreeView*>(QStringLiteral("lvServers"));
            list->selectionModel()->select(list->model()->index(0, 0),
                                           QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
            QTimer::singleShot(200, &app, [&] {
                window.grab().save(output);
                app.quit();
            });
        });
    });
    QTimer::singleShot(10000, &app, [&] { app.exit(1); });
    return QApplication::exec();
}
