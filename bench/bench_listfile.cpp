// The server list file and master answers through the main window,
// offscreen: loading and saving a list of 50,000 servers, and adding the
// 10,000 servers of one loopback master's answer from the "&Import" menu.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#include "benchutil.h"
#include "browser/frmserverlist.h"
#include "browser/masterrequests.h"
#include "browser/serverlistmodel.h"
#include "core/masterlist.h"
#include "core/serverlistfile.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "masters/hlmaster.h"
#include "windowfixture.h"
#include "wire/masterwire.h"

namespace {

constexpr int kListServers = 50000;
constexpr int kMasterServers = 10000;
constexpr int kRuns = 5;

// A list as a user's file holds it: every game, answered rows with names
// and maps, timed-out rows and favourites.
QList<TServerListLine> MakeLines()
{
    QList<TServerListLine> lines;
    lines.reserve(kListServers);
    for (int i = 0; i < kListServers; ++i) {
        TServerListLine line;
        line.GameType = TGameType(i % gtUnknown);
        line.Address = QByteArray::number(10 + i / 65536) + '.' +
                       QByteArray::number(i / 256 % 256) + '.' + QByteArray::number(i % 256) +
                       ".1:" + QByteArray::number(27000 + i % 1000);
        if (i % 7 == 0) {
            line.Caption = "QUERY TIME OUT";
            line.Map = line.Players = line.Ping = "---";
        } else {
            line.Caption = "Server number " + QByteArray::number(i) + " [CTF] 24/7";
            line.Map = "q3dm" + QByteArray::number(i % 19);
            line.Players = QByteArray::number(i % 17) + '/' + QByteArray::number(16 + i % 8);
            line.Ping = QByteArray::number(20 + i % 180);
        }
        line.GameName = "baseq3";
        line.Favorite = i % 13 == 0;
        lines.append(line);
    }
    return lines;
}

// Counts the paints of a widget.
class TPaintCounter : public QObject
{
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++Paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

void ListFile(TWindowFixture& fixture)
{
    TServerListFile file;
    const QList<TServerListLine> lines = MakeLines();
    if (!file.Write(lines)) {
        qFatal("cannot write %s", qPrintable(file.ErrorString()));
    }
    std::printf("List file of %d servers: %lld bytes\n", kListServers,
                static_cast<long long>(QFile(file.Path()).size()));

    std::vector<double> loads;
    std::vector<double> saves;
    for (int run = 0; run < kRuns; ++run) {
        TfrmServerList& window = fixture.Restart();
        QElapsedTimer clock;
        clock.start();
        window.LoadServerList();
        loads.push_back(double(clock.nsecsElapsed()) / 1e9);
        if (window.ServerCount() != kListServers) {
            qFatal("loaded %d servers", window.ServerCount());
        }
        clock.restart();
        if (!window.SaveServerList()) {
            qFatal("save failed");
        }
        saves.push_back(double(clock.nsecsElapsed()) / 1e9);
    }
    PrintFigure("LoadServerList, 50,000 servers, median of 5", Median(loads), "s");
    PrintFigure("LoadServerList, 50,000 servers, worst of 5",
                *std::max_element(loads.begin(), loads.end()), "s");
    PrintFigure("SaveServerList, 50,000 servers, median of 5", Median(saves), "s");
    PrintFigure("SaveServerList, 50,000 servers, worst of 5",
                *std::max_element(saves.begin(), saves.end()), "s");

    QByteArray contents = EncodeServerList(lines);
    PrintFigure("decode the file's 50,000 lines (core alone)",
                MeasureNs([&] { (void)DecodeServerList(contents); }) / 1e9, "s");
    PrintFigure("encode 50,000 lines (core alone)",
                MeasureNs([&] { contents = EncodeServerList(lines); }) / 1e9, "s");
}

void MasterAnswer(TWindowFixture& fixture)
{
    QList<TMasterServer> listed;
    for (int i = 0; i < kMasterServers; ++i) {
        listed.append({QStringLiteral("10.%1.%2.7").arg(i / 256).arg(i % 256), 27015 + i % 50});
    }
    const QList<QByteArray> datagrams = EncodeHLMasterList(listed);
    // The windows start with an empty list.
    QFile::remove(TServerListFile().Path());
    TFakeUdpServer master;
    master.SetReplies(datagrams);

    std::vector<double> times;
    std::vector<double> stalls;
    std::vector<double> paintRates;
    int paints = 0;
    int frames = 0;
    for (int run = 0; run < kRuns; ++run) {
        TfrmServerList& window = fixture.Restart();
        WriteMasterList(*fixture.Store,
                        {{QStringLiteral("Half-Life"), {{master.Address(), master.Port()}}}});
        window.show();
        QEventLoop settle;
        QTimer::singleShot(50, &settle, &QEventLoop::quit);
        settle.exec();

        auto* item = window.findChild<QMenu*>(QStringLiteral("miMasterGame0"))
                         ->findChild<QAction*>(QStringLiteral("miMasterServ0"));
        TPaintCounter counter;
        QWidget* status = window.findChild<QWidget*>(QStringLiteral("StatusText"));
        status->installEventFilter(&counter);
        TStallMeter stall;
        QEventLoop loop;
        QObject::connect(&window.Model(), &QAbstractItemModel::rowsInserted, &loop, [&] {
            if (window.ServerCount() >= kMasterServers) {
                loop.quit();
            }
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        stall.Start();
        clock.start();
        item->trigger();
        loop.exec();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        stalls.push_back(stall.StopMs());
        if (window.ServerCount() != kMasterServers) {
            qFatal("added %d servers", window.ServerCount());
        }
        times.push_back(seconds);
        paints = counter.Paints;
        frames = int(seconds * 1000.0 / TfrmServerList::FrameMs) + 1;
        paintRates.push_back(double(counter.Paints) / frames);
        status->removeEventFilter(&counter);
    }
    std::printf("Master answer: %d servers in %lld Half-Life datagrams from loopback\n",
                kMasterServers, static_cast<long long>(datagrams.size()));
    PrintFigure("click to 10,000 rows in the list, median of 5", Median(times), "s");
    PrintFigure("click to 10,000 rows in the list, worst of 5",
                *std::max_element(times.begin(), times.end()), "s");
    PrintFigure("longest event-loop stall meanwhile, median of 5", Median(stalls), "ms");
    PrintFigure("longest event-loop stall meanwhile, worst of 5",
                *std::max_element(stalls.begin(), stalls.end()), "ms");
    PrintFigure("status text paints in the last run", paints, "paints");
    PrintFigure("20 ms frames in the last run", frames, "frames");
    PrintFigure("status text paints per frame, worst of 5",
                *std::max_element(paintRates.begin(), paintRates.end()), "");
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TWindowFixture fixture;
    std::printf("Server list file and master answers, offscreen\n");
    ListFile(fixture);
    MasterAnswer(fixture);
    return 0;
}
