#pragma once

#include <QList>
#include <QSet>
#include <QTimer>

#include "masters/q3master.h"

// A Quake 3 master asked for several protocol versions, one after another:
// each version's list is one TQ3Master request ("getservers 68 empty full"),
// and the next version is asked when the list ends. OnServer is raised once
// per server of the union (a server listed under two versions, once), and
// OnListEnd after the last version. Servers of today answer under their own
// version (1.32 and ioquake3: 68, OpenArena: 71), the first release under 48.
//
// A version's list ends with the end-of-list entry ("\EOT" or "\EOF");
// for a master that sends none, it counts as ended when ListGap ms pass
// without a datagram. A version that gets no answer within Timeout is
// skipped; only when no version got one is OnTimeout raised.
class TQ3MultiMaster : public TQ3Master
{
    Q_OBJECT

public:
    explicit TQ3MultiMaster(QObject* owner = nullptr);

    void Request() override;

    // The versions asked, in order; an empty list is ignored.
    const QList<std::int32_t>& Versions() const { return Versions_; }
    void SetVersions(const QList<std::int32_t>& versions);

    int ListGap() const { return ListGap_; }
    void SetListGap(int milliseconds) { ListGap_ = qMax(0, milliseconds); }

    // The index of the version being asked; Versions().size() once the
    // last version's list ended.
    qsizetype Step() const { return Step_; }

    static inline const QList<std::int32_t> DefaultVersions = {48, 68, 71};

    // Whether one datagram's accepted bytes hold the end-of-list entry.
    static bool EndsList(QByteArrayView data) { return EndOfList(data) >= 0; }
    // Where the end-of-list entry starts in them; -1 when there is none.
    static qsizetype EndOfList(QByteArrayView data);

signals:
    // The last version's list is over: Complete when every version answered.
    void OnListEnd(bool complete);

protected:
    void ProcessReply(QByteArrayView data) override;
    void RequestTimedOut() override;

private:
    void Ask();
    void NextVersion();

    QList<std::int32_t> Versions_ = DefaultVersions;
    int ListGap_ = 1500;
    qsizetype Step_ = 0;
    bool Answered_ = false; // some version's list came
    bool Complete_ = true;  // every version's list came
    std::uint64_t List_ = 0;
    QSet<std::uint64_t> Seen_;
    QTimer Gap_;
};
