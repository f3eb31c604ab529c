#pragma once

#include <QObject>

#include <cstdint>

#include "core/queryreply.h"

class TServerDetails;
class TServerListModel;
class TServerQuerier;
class TSettings;
class TStatusPresenter;
struct TBasicData;

// What the server list shows of the query coordinator's reports: a server
// being asked turns blue, a reply fills its record and row (name, map,
// players, ping, game, the buddy icon) and the status text, a final
// time-out shows "QUERY TIME OUT", an error its text; the players and rules
// panes follow the server they show, and the progress bar follows the round.
// Every change reaches the screen within one 20 ms frame.
class TResultPresenter : public QObject
{
    Q_OBJECT

public:
    TResultPresenter(TServerQuerier& querier, TServerListModel& model, const TSettings& settings,
                     TStatusPresenter& status, TServerDetails& details, QObject* parent = nullptr);

    // Paints what waits for the end of the frame now (the round is over).
    void Flush();

private:
    void Dispatched(std::int32_t id);
    void Answered(std::int32_t id, const TQueryReply& reply);
    void TimedOut(std::int32_t id, const TBasicData& reply, bool firstQuery, bool gaveUp);
    void RefreshIcon(int row, const TGenericServer& server);
    void RefreshDetails(const TGenericServer& server);

    TServerQuerier& Querier_;
    TServerListModel& Model_;
    const TSettings& Settings_;
    TStatusPresenter& Status_;
    TServerDetails& Details_;
};
