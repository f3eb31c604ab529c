#include "protocols/hlsteamrulequery.h"

void THLSteamRuleQuery::ProcessAnswer(const TBasicData& reply)
{
    THLRules rules;
    if (!Decode(reply, rules)) {
        DoError(ErrorCode, THLRuleQuery::ErrorMessage);
        return;
    }
    emit OnComplete(rules);
}
