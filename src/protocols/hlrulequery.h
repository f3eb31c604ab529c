#pragma once

#include <QList>

#include "model/basicquery.h"
#include "model/genericserver.h"

using THLRule = TRule;

struct THLRules
{
    TBasicData Info;
    std::int16_t Count = 0; // rules announced; Rules holds at most as many
    QList<THLRule> Rules;

    friend bool operator==(const THLRules&, const THLRules&) = default;
};

// The "rules" query of Half-Life servers: the server's settings as
// name/value pairs.
class THLRuleQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\xFF\xFF\xFF\xFFrules", 9); }
    static constexpr int ErrorCode = 3;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Half-life packet.");

    // Decodes a reply; false when it does not start with the rules header.
    static bool Decode(const TBasicData& reply, THLRules& rules);

signals:
    void OnComplete(const THLRules& rules);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
