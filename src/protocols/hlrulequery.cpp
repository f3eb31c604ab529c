#include "protocols/hlrulequery.h"

#include "model/replybuffer.h"

namespace {

// Two strings, each ended by a zero byte.
constexpr qsizetype MinRuleBytes = 2;

bool HasRule(TReplyCursor cursor)
{
    return cursor.SkipPast('\0') && cursor.SkipPast('\0');
}

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

    // A negative count announces no rules. The list ends at the count or at
    // the last pair the datagram holds whole; Count is the number delivered.
    std::int16_t announced = 0;
    cursor.ReadBytes(announced);
    rules.Rules.reserve(
        qBound(qsizetype(0), qsizetype(announced), cursor.Remaining() / MinRuleBytes));
    while (rules.Rules.size() < announced && HasRule(cursor)) {
        THLRule rule;
        rule.Name = cursor.TakeToken('\0');
        rule.Value = cursor.TakeToken('\0');
        rules.Rules.append(std::move(rule));
    }
    rules.Count = std::int16_t(rules.Rules.size());
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
