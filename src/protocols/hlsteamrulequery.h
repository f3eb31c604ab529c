#pragma once

#include "protocols/hlrulequery.h"
#include "protocols/hlsteamquery.h"

// The Steam-form rules query of Half-Life servers, with its challenge as
// for the players. The answer, often split over several datagrams, is laid
// out as the "rules" answer and read into THLRules.
class THLSteamRuleQuery : public THLSteamAnswerQuery<THLRuleQuery, THLRules, 'V'>
{
    Q_OBJECT

public:
    using THLSteamAnswerQuery::THLSteamAnswerQuery;

signals:
    void OnComplete(const THLRules& rules);

protected:
    void Complete(const THLRules& rules) override { emit OnComplete(rules); }
};
