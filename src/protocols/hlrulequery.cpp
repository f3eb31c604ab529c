#include "protocols/hlrulequery.h"

#include "model/replybuffer.h"

namespace {

// Two strings, each ended by a zero byte.
constexpr qsizetype MinRuleBytes = 2;

} // namespace

bool THLRuleQuery::Decode(const TBasicData& reply, THLRules& rules)
{
    static const QByteArray header("\xFF\xFF\xFF\xFF"
                                   "E",
                                   5);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    rules = THLRules{};
    cursor.CutLeft(header.size());

    // Count is the number the server announced; a negative one announces
    // no rules. The list holds the pairs the datagram carries, up to that
    // count: a pair cut off by the end keeps what arrived (a name or value
    // without its zero takes the rest). Each pair takes at least one byte,
    // so the list never outgrows the datagram.
    cursor.ReadBytes(rules.Count);
    rules.Rules.reserve(
        qBound(qsizetype(0), qsizetype(rules.Count), cursor.Remaining() / MinRuleBytes + 1));
    while (rules.Rules.size() < rules.Count && !cursor.AtEnd()) {
        THLRule rule;
        rule.Name = cursor.TakeToken('\0');
        rule.Value = cursor.TakeToken('\0');
        rules.Rules.append(std::move(rule));
    }
    rules.Info = reply;
    return true;
}

void THLRuleQuery::ProcessReply(const TBasicData& reply)
{
    THLRules rules;
    if (!Decode(reply, rules)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(rules);
}
