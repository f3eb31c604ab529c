#include "protocols/hlsteamquery.h"

#include "protocols/hlinfoquery.h"

namespace {

const QByteArrayView kPlainHeader("\xFF\xFF\xFF\xFF", 4);
const QByteArrayView kSplitHeader("\xFE\xFF\xFF\xFF", 4);

// Challenges, then at most 15 parts, each of which a server may send twice.
constexpr int MaxDatagrams = THLSteamQuery::MaxChallenges + 2 * 15;

} // namespace

bool THLSplitPart::Read(QByteArrayView datagram, THLSplitPart& part)
{
    if (datagram.size() < HeaderSize || !datagram.startsWith(kSplitHeader)) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(datagram.data());
    part.Id = std::uint32_t(bytes[4]) | std::uint32_t(bytes[5]) << 8 |
              std::uint32_t(bytes[6]) << 16 | std::uint32_t(bytes[7]) << 24;
    part.Number = bytes[8] >> 4;
    part.Total = bytes[8] & 0x0F;
    part.Payload = datagram.sliced(HeaderSize);
    return part.Total >= 2 && part.Number < part.Total;
}

THLSplitReply::TResult THLSplitReply::Add(const THLSplitPart& part)
{
    TResult result = TResult::Incomplete;
    if (Parts_.isEmpty() || part.Id != Id_ || part.Total != Parts_.size()) {
        result = Parts_.isEmpty() ? TResult::Incomplete : TResult::Restarted;
        Id_ = part.Id;
        Received_ = 0;
        Parts_ = QList<QByteArray>(part.Total);
    }
    QByteArray& slot = Parts_[part.Number];
    if (slot.isNull()) {
        // Never null once set, even for a part without bytes.
        slot = part.Payload.isEmpty() ? QByteArray("", 0) : part.Payload.toByteArray();
        ++Received_;
    }
    return Received_ == Parts_.size() ? TResult::Complete : result;
}

QByteArray THLSplitReply::Whole() const
{
    QByteArray whole;
    for (const QByteArray& part : Parts_) {
        whole += part;
    }
    return whole;
}

THLSteamQuery::THLSteamQuery(QObject* owner) : TBasicQuery(owner)
{
    // A request that ends without its whole answer leaves no parts behind.
    connect(this, &TBasicQuery::OnTimeout, this,
            [this](const TBasicData& reply) { Splits_.remove(SenderKey(reply.Host, reply.Port)); });
}

bool THLSteamQuery::ReadChallenge(QByteArrayView datagram, QByteArray& challenge)
{
    if (datagram.size() < 9 || !datagram.startsWith(kPlainHeader) || datagram[4] != 'A') {
        return false;
    }
    challenge = datagram.sliced(5, 4).toByteArray();
    return true;
}

QString THLSteamQuery::SenderKey(const QString& host, std::int32_t port)
{
    return host + u':' + QString::number(port);
}

void THLSteamQuery::ProcessReply(const TBasicData& reply)
{
    TBasicData answer = reply;
    THLSplitPart part;
    if (THLSplitPart::Read(reply.Data, part)) {
        const QString key = SenderKey(reply.Host, reply.Port);
        THLSplitReply& split = Splits_[key];
        if (split.Add(part) != THLSplitReply::TResult::Complete) {
            if (DatagramsReceived() < MaxDatagrams && KeepPending()) {
                return;
            }
            Splits_.remove(key);
            DoError(QueryErrorCode(), THLInfoQuery::ErrorMessage);
            return;
        }
        answer.Data = split.Whole();
        Splits_.remove(key);
        if (!answer.Data.startsWith(kPlainHeader)) {
            answer.Data.prepend(kPlainHeader.data(), kPlainHeader.size());
        }
    }

    QByteArray challenge;
    if (ReadChallenge(answer.Data, challenge)) {
        // A server that keeps answering with challenges would keep the
        // request alive for ever.
        if (DatagramsReceived() <= MaxChallenges && KeepPending(RequestWithChallenge(challenge))) {
            return;
        }
        DoError(QueryErrorCode(), THLInfoQuery::ErrorMessage);
        return;
    }
    ProcessAnswer(answer);
}
