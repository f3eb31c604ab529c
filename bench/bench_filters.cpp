// Applying a five-condition filter profile to the main window's 10,000
// rows, offscreen: the evaluation alone, and the whole "Apply profile"
// command with the removal of the failing rows in one batch.
#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include "benchutil.h"
#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/genericfilter.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "windowfixture.h"

namespace {

constexpr int kRows = 10000;
constexpr int kRuns = 7;

// Rows of every game in every state: most answered, some never; a few
// favourites and password-protected servers; pings and player counts spread
// so that failing rows lie scattered through the list.
void FillList(TfrmServerList& window, QRandomGenerator& random)
{
    static const char* const names[] = {"Frag Central [CTF]", "Rocket Arena",  "test server",
                                        "Dust Bowl 24/7",     "Old School DM", "Capture League"};
    for (int i = 0; i < kRows; ++i) {
        const auto game = TGameType(random.bounded(int(gtUnknown)));
        const int row =
            window.AddServer(QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250), 27960, game);
        window.ChangeServer(row, [&random](TGenericServer& server) {
            server.Favorite = random.bounded(20) == 0;
            if (random.bounded(10) == 0) {
                return; // never answered
            }
            server.NoReply = false;
            server.Status = qsIdle;
            server.Name = names[random.bounded(int(std::size(names)))];
            server.Map = "q3dm17";
            server.GameName = "baseq3";
            server.Version = "1.32";
            server.Info.Ping = std::uint32_t(random.bounded(10, 400));
            server.MaxPlayers = random.bounded(4, 33);
            server.NumPlayers = random.bounded(0, server.MaxPlayers + 1);
            if (random.bounded(5) == 0) {
                server.AddRule("password", "1");
            }
        });
    }
}

const TFilterList kProfile{
    {ftName, foNoMatch, "*test*", 0}, {ftPing, foLess, {}, 250},    {ftPlayerCount, foMore, {}, 0},
    {ftMaxPlayers, foMore, {}, 7},    {ftPassword, foFalse, {}, 0},
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TWindowFixture fixture;
    TScriptedDialogs& dialogs = fixture.Dialogs;
    TFileSettingsStore& store = fixture.OpenStore();
    if (!SaveProfile(store, QStringLiteral("Five conditions"), kProfile)) {
        std::fprintf(stderr, "cannot save the profile: %s\n", qPrintable(store.ErrorString()));
        return 1;
    }
    TfrmServerList& window = fixture.Build();
    window.show(); // lists the profile
    QCoreApplication::processEvents();
    auto* apply = window.findChild<QToolButton*>(QStringLiteral("sbApplyProfile"));
    QRandomGenerator random(20240601);

    std::printf("Filter profile of %d conditions on %d rows, offscreen\n", int(kProfile.size()),
                kRows);
    FillList(window, random);
    QCoreApplication::processEvents();
    const TServerListModel& model = window.Model();
    const double evaluateNs = MeasureNs([&] {
        RowsToRemove(kProfile, false, model.rowCount(),
                     [&model](int row) { return model.Server(row); }, {});
    });
    PrintFigure("evaluate the profile on 10,000 rows", evaluateNs / 1e6, "ms");

    std::vector<double> applyMs;
    std::vector<double> laidOutMs;
    int removed = 0;
    int batches = 0;
    for (int run = 0; run < kRuns; ++run) {
        if (run > 0) {
            dialogs.AnswerQuestion(true);
            window.ClearList();
            FillList(window, random);
            QCoreApplication::processEvents();
        }
        int removals = 0;
        const auto counter = QObject::connect(&window.Model(), &QAbstractItemModel::rowsRemoved,
                                              [&removals] { ++removals; });
        const auto resets = QObject::connect(&window.Model(), &QAbstractItemModel::modelReset,
                                             [&removals] { ++removals; });
        const int before = window.ServerCount();
        dialogs.AnswerQuestion(true);
        QElapsedTimer clock;
        clock.start();
        apply->click();
        applyMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents(); // the view lays the remaining rows out
        laidOutMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        QObject::disconnect(counter);
        QObject::disconnect(resets);
        removed = before - window.ServerCount();
        batches = removals;
    }
    PrintFigure("apply profile (confirm, evaluate, remove), median", Median(applyMs), "ms");
    PrintFigure("apply profile, worst", *std::max_element(applyMs.begin(), applyMs.end()), "ms");
    PrintFigure("apply profile and lay the view out, median", Median(laidOutMs), "ms");
    PrintFigure("rows removed in the last run", removed, "rows");
    PrintFigure("removals the view was told of (runs, or one reset)", batches, "");
    return 0;
}
