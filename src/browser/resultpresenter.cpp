#include "browser/resultpresenter.h"

#include "browser/serverdetails.h"
#include "browser/serverlistmodel.h"
#include "browser/statuspresenter.h"
#include "core/serverquerier.h"
#include "core/serverresults.h"
#include "core/settings.h"
#include "model/networktext.h"
#include "model/wildcard.h"

TResultPresenter::TResultPresenter(TServerQuerier& querier, TServerListModel& model,
                                   const TSettings& settings, TStatusPresenter& status,
                                   TServerDetails& details, QObject* parent)
    : QObject(parent), Querier_(querier), Model_(model), Settings_(settings), Status_(status),
      Details_(details)
{
    connect(&querier, &TServerQuerier::Dispatched, this, &TResultPresenter::Dispatched);
    connect(&querier, &TServerQuerier::Answered, this, &TResultPresenter::Answered);
    connect(&querier, &TServerQuerier::TimedOut, this, &TResultPresenter::TimedOut);
    connect(&querier, &TServerQuerier::Failed, this,
            [this](std::int32_t, const QString&, const QString& statusText) {
                if (!statusText.isEmpty()) {
                    Status_.ShowStatus(statusText);
                }
            });
    connect(&querier, &TServerQuerier::Progress, &status, &TStatusPresenter::SetProgress);
}

void TResultPresenter::Flush()
{
    Status_.Flush();
    Model_.FlushChanges();
}

void TResultPresenter::Dispatched(std::int32_t id)
{
    const int row = Model_.RowOf(id);
    if (TGenericServer* server = Model_.Server(row)) {
        server->Status = qsWorking;
        Model_.RowChanged(row);
    }
}

void TResultPresenter::Answered(std::int32_t id, const TQueryReply& reply)
{
    const int row = Model_.RowOf(id);
    TGenericServer* server = Model_.Server(row);
    if (!server) {
        return; // its row was removed meanwhile
    }
    switch (ApplyReply(*server, reply)) {
    case TReplyShows::Row:
        Status_.ShowStatus(QStringLiteral("Reply from ") + TextOfBytes(server->Name));
        RefreshIcon(row, *server);
        Model_.SetTexts(row, ReplyRowTexts(*server, Settings_->AllowFormat));
        break;
    case TReplyShows::Icon:
        RefreshIcon(row, *server);
        break;
    case TReplyShows::Details:
        break;
    }
    RefreshDetails(*server);
}

void TResultPresenter::TimedOut(std::int32_t id, const TBasicData& reply, bool firstQuery,
                                bool gaveUp)
{
    const int row = Model_.RowOf(id);
    TGenericServer* server = Model_.Server(row);
    if (!server) {
        return;
    }
    server->RetryCount = Querier_.RetryCount(id);
    if (!gaveUp) {
        return;
    }
    Status_.ShowStatus(reply.Host + QLatin1Char(':') + QString::number(reply.Port) +
                       QStringLiteral(" timed out..."));
    if (firstQuery) {
        ApplyFinalTimeout(*server, reply);
        Model_.SetTexts(row, TimeoutRowTexts());
    }
}

void TResultPresenter::RefreshIcon(int row, const TGenericServer& server)
{
    const bool buddy =
        Settings_->UseBuddyList && HasBuddy(server.PlayerTable, Settings_->Buddies, true);
    Model_.SetIcon(row, GameImageIndex(server, buddy));
}

void TResultPresenter::RefreshDetails(const TGenericServer& server)
{
    if (server.Id == Details_.ServerId()) {
        Details_.Show(server);
    }
}
