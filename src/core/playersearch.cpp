#include "core/playersearch.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <limits>

#include "model/basicquery.h"
#include "model/genericserver.h"
#include "model/networktext.h"
#include "model/wildcard.h"
#include "protocols/hlplayerquery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

namespace {

constexpr TSearchGame kSearchGames[] = {
    {gtTribes, "Starsiege: Tribes servers", "TribesPlayer"},
    {gtQuakeWorld, "Quake World servers", "QWPlayer"},
    {gtQuake2, "Quake 2 servers", "Q2Player"},
    {gtQuake3, "Quake 3 servers", "Q3Player"},
    {gtHalfLife, "Half-life servers", "HLPlayer"},
    {gtKingpin, "Kingpin servers", "KingpinPlayer"},
    {gtHeretic2, "Heretic 2 servers", "Heretic2Player"},
    {gtSin, "Sin servers", "SinPlayer"},
    {gtSoF, "Soldier of Fortune servers", "SoFPlayer"},
    {gtTribes2, "Tribes 2 servers", "T2Player"},
};

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7F) {
            return false;
        }
    }
    return true;
}

} // namespace

// A typed pattern made ready for many texts: ASCII text against an ASCII
// pattern (nearly every player name) is matched byte for byte.
class TShownPattern
{
public:
    TShownPattern(const QString& pattern, bool caseSensitive)
        : CaseSensitive_(caseSensitive), Characters_(pattern.toUcs4())
    {
        Ascii_ = true;
        for (QChar c : pattern) {
            Ascii_ = Ascii_ && c.unicode() < 0x80;
        }
        if (Ascii_) {
            Bytes_ = pattern.toLatin1();
        }
    }

    bool Matches(QByteArrayView text) const
    {
        if (Characters_.isEmpty()) {
            return true;
        }
        if (Ascii_ && IsAscii(text)) {
            return MatchWildcard(text, Bytes_, CaseSensitive_);
        }
        const QList<uint> characters = TextOfBytes(text).toUcs4();
        return MatchWildcard(std::span(characters.constData(), std::size_t(characters.size())),
                             std::span(Characters_.constData(), std::size_t(Characters_.size())),
                             CaseSensitive_);
    }

private:
    bool CaseSensitive_;
    bool Ascii_ = true;
    QByteArray Bytes_;
    QList<uint> Characters_;
};

namespace {

template <typename TRecord> const TBasicData& InfoOf(const TRecord& record)
{
    return record.Info;
}

QString AddressText(const QString& host, int port)
{
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace

std::span<const TSearchGame> SearchGames()
{
    return kSearchGames;
}

bool MatchShownText(QByteArrayView bytes, QStringView pattern, bool caseSensitive)
{
    return TShownPattern(pattern.toString(), caseSensitive).Matches(bytes);
}

QList<TSearchHit> SearchStoredPlayers(const TGenericServer& server,
                                      const TSearchConditions& conditions)
{
    QList<TSearchHit> hits;
    if (!conditions.Searches(server.GameType) ||
        !TShownPattern(conditions.ServerPattern, conditions.CaseSensitive).Matches(server.Name)) {
        return hits;
    }
    const TServerTable& table = server.PlayerTable;
    if (table.size() < 2) {
        return hits;
    }
    const TShownPattern text(conditions.TextPattern, conditions.CaseSensitive);
    const QString game = GameTypeName(server.GameType);
    const QString address = AddressText(server.Info.Host, server.Info.Port);
    const QList<QByteArray>& captions = table.front();
    for (qsizetype row = 1; row < table.size(); ++row) {
        for (qsizetype column = 0; column < table[row].size(); ++column) {
            const QByteArray& cell = table[row][column];
            if (text.Matches(cell)) {
                hits.append({TextOfBytes(cell),
                             column < captions.size() ? TextOfBytes(captions[column]) : QString(),
                             game, address});
            }
        }
    }
    return hits;
}

// ---------------------------------------------------------------------------

TPlayerSearch::TPlayerSearch(QObject* parent) : QObject(parent)
{
    SendTimer_.setSingleShot(true);
    connect(&SendTimer_, &QTimer::timeout, this, &TPlayerSearch::SendQueued);
    // The component of a game asks for its players: the status query of the
    // Quake games and Tribes, the player query of Half-Life, the info query
    // of Tribes 2 (its players come with it, without the ping first).
    for (const TSearchGame& game : kSearchGames) {
        switch (GameInfo(game.Type)->Protocol) {
        case TQueryProtocol::Quake2:
            Make<TQ2Query>(game);
            break;
        case TQueryProtocol::Quake3:
            Make<TQ3AQuery>(game);
            break;
        case TQueryProtocol::QuakeWorld:
            Make<TQWQuery>(game);
            break;
        case TQueryProtocol::Tribes:
            Make<TTribesQuery>(game);
            break;
        case TQueryProtocol::Tribes2:
            Make<TT2Query>(game);
            break;
        case TQueryProtocol::HalfLife:
            Make<THLPlayerQuery>(game);
            break;
        }
    }
}

TPlayerSearch::~TPlayerSearch()
{
    for (const TEntry& entry : Entries_) {
        if (entry.Engine) {
            entry.Engine->disconnect(this);
        }
    }
}

template <typename TQuery> void TPlayerSearch::Make(const TSearchGame& game)
{
    auto* engine = new TQuery(this);
    engine->setObjectName(QLatin1String(game.Component));
    engine->SetMaxQueries(15);
    engine->SetTimeout(2000);
    Entries_[game.Type] = {&game, engine, [engine](std::int32_t tag) { engine->Query(tag); }};
    connect(engine, &TQuery::OnComplete, this,
            [this, &game](const auto& record) { Reply(game, record); });
    connect(engine, &TBasicQuery::OnTimeout, this, &TPlayerSearch::Timeout);
    connect(engine, &TBasicQuery::OnError, this,
            [this, engine](int, const QString& message) { Failed(engine, message); });
}

TBasicQuery* TPlayerSearch::Component(TGameType game) const
{
    return game < gtUnknown ? Entries_[game].Engine : nullptr;
}

void TPlayerSearch::ApplyLimits(int maxQueries, int timeoutMs)
{
    for (const TEntry& entry : Entries_) {
        if (entry.Game->Type != gtTribes2) {
            entry.Engine->SetMaxQueries(maxQueries);
            entry.Engine->SetTimeout(std::uint32_t(std::max(timeoutMs, 0)));
        }
    }
}

void TPlayerSearch::Begin(const TSearchConditions& conditions)
{
    Conditions_ = conditions;
    ServerMatch_ = std::make_unique<TShownPattern>(conditions.ServerPattern, false);
    TextMatch_ = std::make_unique<TShownPattern>(conditions.TextPattern, conditions.CaseSensitive);
    // A new number disowns every request still out for an earlier search.
    Number_ = Number_ == std::numeric_limits<std::int32_t>::max() ? 1 : Number_ + 1;
    Sent_ = Outstanding_ = TimedOut_ = Hits_ = 0;
    DropQueue();
    Searching_ = true;
    Issuing_ = true;
}

bool TPlayerSearch::Issue(const TGenericServer& server)
{
    if (!Issuing_ || !Conditions_.Searches(server.GameType) ||
        !ServerMatch_->Matches(server.Name)) {
        return false;
    }
    Queues_[server.GameType].push_back({server.Info.Host, server.Info.Port});
    ++Sent_;
    ++Outstanding_;
    return true;
}

bool TPlayerSearch::EndIssuing()
{
    Issuing_ = false;
    if (Outstanding_ < 1) {
        Searching_ = false;
        return false;
    }
    SendQueued();
    return Searching_;
}

int TPlayerSearch::Queued() const
{
    int queued = 0;
    for (const std::deque<TQueued>& queue : Queues_) {
        queued += int(queue.size());
    }
    return queued;
}

namespace {

// Whether a request handed to Engine now would go out at once, not wait in
// the component for a slot.
bool HasFreeSlot(const TBasicQuery& engine)
{
    return engine.MaxQueries() == 0 ||
           engine.CurrentQueries() + engine.WaitingQueries() < engine.MaxQueries();
}

// How long the search waits before it looks again for slots: the
// components free them at their scans, every ScanInterval.
constexpr int kSlotWaitMs = 10;

} // namespace

void TPlayerSearch::SendQueued()
{
    QElapsedTimer slice;
    slice.start();
    const std::int32_t number = Number_;
    bool sliceUsed = false;
    for (std::size_t game = 0; game < Queues_.size() && !sliceUsed; ++game) {
        std::deque<TQueued>& queue = Queues_[game];
        const TEntry& entry = Entries_[game];
        // At least one request per slice, so that every turn makes progress.
        while (!queue.empty() && Owns(number) && HasFreeSlot(*entry.Engine)) {
            const TQueued request = std::move(queue.front());
            queue.pop_front();
            entry.Engine->SetHostname(request.Host);
            entry.Engine->SetPort(request.Port);
            entry.Query(number);
            if (slice.elapsed() >= SendSliceMs_) {
                sliceUsed = true;
                break;
            }
        }
    }
    if (Owns(number) && Queued() > 0) {
        SendTimer_.start(sliceUsed ? 0 : kSlotWaitMs);
    }
}

void TPlayerSearch::DropQueue()
{
    for (std::deque<TQueued>& queue : Queues_) {
        queue.clear();
    }
    SendTimer_.stop();
}

void TPlayerSearch::Abort()
{
    Issuing_ = false;
    Searching_ = false;
    Sent_ = TimedOut_ = Hits_ = 0;
    DropQueue();
}

QString TPlayerSearch::SummaryText(int sent, int timedOut, int hits)
{
    return QStringLiteral("Searched %1 servers (%2 timed out). Search gave %3 hits.")
        .arg(sent)
        .arg(timedOut)
        .arg(hits);
}

namespace {

// Status text and matched texts of one reply, per record type.
struct TScan
{
    QString Status;
    QList<std::pair<QByteArray, QString>> Cells; // text, the caption of its column
};

template <typename TRecord> TScan PlayerNames(const TRecord& record, const QString& status)
{
    TScan scan{status, {}};
    scan.Cells.reserve(record.Players.size());
    for (const auto& player : record.Players) {
        scan.Cells.append({player.Name, QStringLiteral("Name")});
    }
    return scan;
}

TScan ScanOf(const TQ2Server& r)
{
    return PlayerNames(r,
                       QStringLiteral("Searching ") + TextOfBytes(r.Name) + QStringLiteral("..."));
}
TScan ScanOf(const TQ3AServer& r)
{
    return PlayerNames(r,
                       QStringLiteral("Searching ") + TextOfBytes(r.Name) + QStringLiteral("..."));
}
TScan ScanOf(const TQWServer& r)
{
    return PlayerNames(r,
                       QStringLiteral("Searching ") + TextOfBytes(r.Name) + QStringLiteral("..."));
}
TScan ScanOf(const THLPlayers& r)
{
    return PlayerNames(r, QStringLiteral("Searching Half-life player response (") +
                              AddressText(r.Info.Host, r.Info.Port) + QStringLiteral(").."));
}
TScan ScanOf(const TT2Server& r)
{
    return PlayerNames(r, QStringLiteral("Searching Tribes II player response (") +
                              AddressText(r.Info.Host, r.Info.Port) + QStringLiteral(").."));
}
TScan ScanOf(const TTribesServer& r)
{
    TScan scan{QStringLiteral("Searching server ") + TextOfBytes(r.HostName), {}};
    const THeader& header = r.Players.Header;
    for (const THeader& row : r.Players.Rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            scan.Cells.append(
                {row[column], column < header.size() ? TextOfBytes(header[column]) : QString()});
        }
    }
    return scan;
}

} // namespace

template <typename TRecord>
void TPlayerSearch::Reply(const TSearchGame& game, const TRecord& record)
{
    const TBasicData& info = InfoOf(record);
    if (!Owns(info.Tag)) {
        return;
    }
    const TScan scan = ScanOf(record);
    emit Status(scan.Status);
    // A handler may have aborted the search, or started another.
    if (!Owns(info.Tag)) {
        return;
    }
    const QString gameName = GameTypeName(game.Type);
    const QString address = AddressText(info.Host, info.Port);
    QList<TSearchHit> hits;
    for (const auto& [text, column] : scan.Cells) {
        if (TextMatch_->Matches(text)) {
            hits.append({TextOfBytes(text), column, gameName, address});
        }
    }
    Hits_ += int(hits.size());
    if (!hits.isEmpty()) {
        emit HitsFound(hits);
        if (!Owns(info.Tag)) {
            return;
        }
    }
    RequestDone();
}

void TPlayerSearch::Timeout(const TBasicData& request)
{
    if (!Owns(request.Tag)) {
        return;
    }
    const std::int32_t tag = request.Tag;
    ++TimedOut_;
    emit Status(QStringLiteral("%1:%2 timed out...").arg(request.Host).arg(request.Port));
    if (Owns(tag)) {
        RequestDone();
    }
}

void TPlayerSearch::Failed(TBasicQuery* engine, const QString& message)
{
    // A reply that could not be decoded ends its request: no later time-out
    // will come for it. (A reply too long to read has timed out already;
    // no request is in progress then.)
    const TBasicData* request = engine->ReplyInProgress();
    if (!request || !Owns(request->Tag)) {
        return;
    }
    const std::int32_t tag = request->Tag;
    emit Status(AddressText(request->Host, request->Port) + QStringLiteral(": ") + message);
    if (Owns(tag)) {
        RequestDone();
    }
}

void TPlayerSearch::RequestDone()
{
    --Outstanding_;
    if (!Issuing_ && Outstanding_ < 1) {
        Searching_ = false;
        emit Finished(SummaryText(Sent_, TimedOut_, Hits_));
    }
}
