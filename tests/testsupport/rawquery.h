#pragma once

#include "model/basicquery.h"

// An engine subclass that decodes nothing: it hands every matched reply on as
// it came, and reports an error for replies that begin with "bad".
class TRawQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Packet, tag); }

    QByteArray Packet = "ping";

signals:
    void OnComplete(const TBasicData& reply);

protected:
    void ProcessReply(const TBasicData& reply) override
    {
        if (reply.Data.startsWith("bad")) {
            DoError(99, QStringLiteral("bad reply"));
            return;
        }
        emit OnComplete(reply);
    }
};
