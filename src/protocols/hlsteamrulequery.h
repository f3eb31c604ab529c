#pragma once

#include "protocols/hlrulequery.h"
#include "protocols/hlsteamquery.h"

// The Steam-form rules query of Half-Life servers, with its challenge as
// for the players. The answer, often split over several datagrams, is laid
// out as the "rules" answer and read into THLRules.
class THLSteamRuleQuery : public THLSteamQuery
{
    Q_OBJECT

public:
    using THLSteamQuery::THLSteamQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return RequestWith("\xFF\xFF\xFF\xFF"); }
    static QByteArray RequestWith(QByteArrayView challenge)
    {
        return "\xFF\xFF\xFF\xFFV" + challenge.toByteArray();
    }
    static constexpr int ErrorCode = THLRuleQuery::ErrorCode;

    static bool Decode(const TBasicData& reply, THLRules& rules)
    {
        return THLRuleQuery::Decode(reply, rules);
    }

signals:
    void OnComplete(const THLRules& rules);

protected:
    QByteArray RequestWithChallenge(QByteArrayView challenge) const override
    {
        return RequestWith(challenge);
    }
    void ProcessAnswer(const TBasicData& reply) override;
    int QueryErrorCode() const override { return ErrorCode; }
};
