// Fills the main window with loopback servers of every game, runs a query
// round and saves a picture of the window:
//   xvfb-run -a build/tests/browser/shot_serverlist window.png
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <memory>
#include <vector>

#include "browser/frmserverlist.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "windowfixture.h"

namespace {

struct TShot
{
    TGameType Game;
    TScriptedGameServer Server;
    bool Answers = true;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shot.png");
    TWindowFixture fixture;
    fixture.Settings.Change([](TSettingsValues& values) {
        values.QueryTimeout = 400;
        values.Retry = 0;
        values.UseBuddyList = true;
        values.Buddies = {{"Sarge", true}};
    });
    TfrmServerList& window = fixture.Build();

    const std::vector<TShot> shots = {
        {gtQuake3, {"^1Red ^7Rocket Arena", "q3dm6", 16, "baseq3", {"Sarge", "Doom", "Anarki"}}},
        {gtQuake3,
         {"Frag Central [CTF]", "q3ctf2", 20, "baseq3", {"Visor", "Keel", "Major", "Daemia"}}},
        {gtHalfLife, {"Dust Bowl 24/7", "de_dust2", 20, "cstrike", {"Gordon", "Adrian", "Barney"}}},
        {gtQuakeWorld, {"Old School DM", "dm4", 16, "qw", {"Ranger", "Grunt"}}},
        {gtTribes2, {"Tribes 2 Capture League", "Katabatic", 32, "CTF", {"Shrike", "Scout"}}},
        {gtQuake2, {"Quake II Jail", "q2dm1", 12, "baseq2", {"Stroggo"}}},
        {gtTribes, {"Starsiege Arena", "Raindance", 24, "CTF", {"Tex", "Fly"}}},
        {gtKingpin, {"Poison Ville", "kpdm1", 16, "main", {"Nikki", "Lola"}}},
        {gtSoF, {"Soldier Ops", "dm/irq1", 16, "base", {"Hawk"}}},
        {gtHeretic2, {"Silverspring", "dmandoria", 8, "base", {}}},
        {gtSin, {"Freeport Nights", "dmfreeport", 10, "base", {"Blade"}}},
        {gtQuake3, {"Night Shift Duel", "q3tourney2", 2, "baseq3", {"Hunter"}}},
        {gtQuake3, {"Sunday Practice", "q3dm1", 8, "baseq3", {}}},
        {gtHalfLife, {"Gone Server", "", 0, "", {}}, false},
    };
    std::vector<std::unique_ptr<TFakeUdpServer>> servers;
    for (const TShot& shot : shots) {
        auto server = std::make_unique<TFakeUdpServer>();
        if (shot.Answers) {
            server->SetResponder([shot](const QByteArray& request) {
                return GameReply(shot.Game, request, shot.Server);
            });
            // Round trips of a few typical lengths.
            server->SetBehaviour(TFakeUdpServer::TBehaviour::AnswerLate,
                                 int(17 + 23 * (servers.size() % 5) + 7 * (servers.size() % 3)));
        } else {
            server->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
        }
        window.AddServer(server->Address(), server->Port(), shot.Game);
        servers.push_back(std::move(server));
    }
    window.SetFavorite(1, true);

    window.show();
    window.QueryAll();
    window.AddServer(QStringLiteral("127.0.0.1"), 27910, gtQuake2); // added after the round began
    QObject::connect(&window, &TfrmServerList::QueryRoundFinished, &app, [&] {
        // Let the follow-up queries finish, then show the first server.
        QTimer::singleShot(600, &app, [&] {
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
