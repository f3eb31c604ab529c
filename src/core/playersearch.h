#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>

#include "model/gamecatalogue.h"

class TBasicQuery;
class TGenericServer;
class TShownPattern;
struct TBasicData;

// One entry of the player search's "Game type" list: the games in the
// order the list shows them, each with the name of its own query component.
struct TSearchGame
{
    TGameType Type;
    const char* Caption;
    const char* Component;
};

// The ten entries, in list order.
std::span<const TSearchGame> SearchGames();

// One found text: what matched, the caption of the column that held it, the
// game's display name and the server's address ("host:port").
struct TSearchHit
{
    QString Text;
    QString Column;
    QString Game;
    QString Address;

    bool operator==(const TSearchHit&) const = default;
};

// What a search looks for.
struct TSearchConditions
{
    QString TextPattern;
    QString ServerPattern;
    bool CaseSensitive = true;
    std::array<bool, gtUnknown> Games{}; // by TGameType: searched or not

    bool Searches(int gameType) const
    {
        return gameType >= 0 && gameType < gtUnknown && Games[std::size_t(gameType)];
    }
};

// Matches text a server sent against a typed Pattern ("*" any run of
// characters, "?" exactly one), both taken as the list shows them: the
// bytes become text by the program's one rule (UTF-8 when valid, otherwise
// Latin-1), so a pattern outside ASCII finds the name it looks like.
// Without CaseSensitive only the ASCII letters are folded.
bool MatchShownText(QByteArrayView bytes, QStringView pattern, bool caseSensitive);

// The hits among the stored players of Server: every cell of every player
// row (never the caption row) whose text matches the text pattern, when the
// server's name matches the server-name pattern (both with the case rule of
// Conditions) and its game is searched.
QList<TSearchHit> SearchStoredPlayers(const TGenericServer& server,
                                      const TSearchConditions& conditions);

// The network side of the player search: ten query components of its own
// (one per game, named as in SearchGames), the requests of one search at a
// time and what their replies find.
//
// Every request carries the number of the search that sent it. A reply or a
// time-out of any other search (one aborted, or one before) is dropped, so
// it can neither end the current search early nor add hits to it.
//
// Requests wait in the search, one queue per game, and are handed to their
// component only while it has a free slot: EndIssuing sends for at most the
// send slice (8 ms, but at least one request), and later turns of the event
// loop send for as long again, so that neither a search of ten thousand
// servers nor a component's scan that frees thousands of slots at once ever
// holds the window. A request counts as sent (Sent, Outstanding) from its
// Issue.
class TPlayerSearch : public QObject
{
    Q_OBJECT

public:
    explicit TPlayerSearch(QObject* parent = nullptr);
    ~TPlayerSearch() override;

    // Starts a new search: counts to zero, earlier requests disowned.
    void Begin(const TSearchConditions& conditions);
    // Queues a player request to Server when its game is searched and its
    // name matches the server-name pattern (always without regard to case).
    // True when it was queued.
    bool Issue(const TGenericServer& server);
    // After the last Issue: starts sending the queued requests and returns
    // true when there are any (the search runs until they are answered or
    // timed out), false when none was queued.
    bool EndIssuing();
    // Ends the search now: what is still queued is never sent, what went out
    // stays with the components, and what it brings is dropped.
    void Abort();

    // Requests queued and not yet handed to their component.
    int Queued() const;

    // How long one turn of the event loop sends; 8 ms unless changed.
    void SetSendSliceMs(int milliseconds) { SendSliceMs_ = milliseconds; }

    // Concurrency and time-out of the nine components the options govern;
    // the Tribes 2 component keeps 15 and 2000 ms.
    void ApplyLimits(int maxQueries, int timeoutMs);

    bool IsSearching() const { return Searching_; }
    int Sent() const { return Sent_; }
    int Outstanding() const { return Outstanding_; }
    int TimedOut() const { return TimedOut_; }
    int Hits() const { return Hits_; }
    // The number of the current (or last) search; its requests carry it.
    std::int32_t SearchNumber() const { return Number_; }

    // The component of a game, or null for gtUnknown.
    TBasicQuery* Component(TGameType game) const;

    // "Searched %d servers (%d timed out). Search gave %d hits."
    static QString SummaryText(int sent, int timedOut, int hits);

signals:
    // A text for the status bar.
    void Status(const QString& text);
    // The hits of one reply, in the order they were found.
    void HitsFound(const QList<TSearchHit>& hits);
    // The last request of the search was answered or timed out; Summary is
    // the status text that says so.
    void Finished(const QString& summary);

private:
    struct TEntry
    {
        const TSearchGame* Game = nullptr;
        TBasicQuery* Engine = nullptr;
        std::function<void(std::int32_t)> Query; // the engine's own Query
    };

    // A request waiting to be handed to its component.
    struct TQueued
    {
        QString Host;
        std::int32_t Port;
    };

    template <typename TQuery> void Make(const TSearchGame& game);
    void SendQueued();
    void DropQueue();
    bool Owns(std::int32_t tag) const { return Searching_ && tag == Number_; }
    template <typename TRecord> void Reply(const TSearchGame& game, const TRecord& record);
    void Timeout(const TBasicData& request);
    void Failed(TBasicQuery* engine, const QString& message);
    void RequestDone();

    std::array<TEntry, gtUnknown> Entries_{};
    TSearchConditions Conditions_;
    std::unique_ptr<TShownPattern> ServerMatch_;
    std::unique_ptr<TShownPattern> TextMatch_;
    std::array<std::deque<TQueued>, gtUnknown> Queues_; // by TGameType
    QTimer SendTimer_;
    int SendSliceMs_ = 8;
    std::int32_t Number_ = 0;
    bool Searching_ = false;
    bool Issuing_ = false;
    int Sent_ = 0;
    int Outstanding_ = 0;
    int TimedOut_ = 0;
    int Hits_ = 0;
};
