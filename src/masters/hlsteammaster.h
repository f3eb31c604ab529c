#pragma once

#include <QList>
#include <QSet>

#include "masters/master.h"
#include "masters/masterserver.h"

// Asks a Half-Life master of the Steam kind for its server list. A request
// is "1", a region byte, the last address received ("0.0.0.0:0" to start)
// and a filter text, each text ended by a zero byte. Each answer is one
// page: FF FF FF FF 66 0A and entries of an address and a big-endian port,
// the list's last page ending with the entry 0.0.0.0:0. The component asks
// for page after page, one request at a time, until that entry comes, and
// raises OnServer once per server (a server a master lists twice, once).
//
// The list also ends, incomplete, when a later page does not come within
// Timeout, when a page brings no server not seen before (a master that
// ignores the last address would otherwise be asked for ever) or after
// MaxPages pages. When the first page does not come, OnTimeout is raised as
// for every master and OnListEnd is not.
class THLSteamMaster : public TMaster
{
    Q_OBJECT

public:
    using TMaster::TMaster;

    void Request() override;

    // Where the servers are: 0 to 7 for a part of the world, 0xFF for all.
    std::uint8_t Region() const { return Region_; }
    void SetRegion(std::uint8_t region) { Region_ = region; }

    // The master's filter text ("\gamedir\cstrike\secure\1"); empty for all.
    const QByteArray& Filter() const { return Filter_; }
    void SetFilter(const QByteArray& filter) { Filter_ = filter; }

    int MaxPages() const { return MaxPages_; }
    void SetMaxPages(int pages) { MaxPages_ = qMax(1, pages); }

    // Requests sent for the current list, and whether more are to come.
    int Pages() const { return Pages_; }
    bool Listing() const { return Listing_; }

    static QByteArray Packet(std::uint8_t region, QByteArrayView lastAddress,
                             QByteArrayView filter);
    static QByteArray FirstAddress() { return "0.0.0.0:0"; }
    static QByteArray ReplyPrefix() { return QByteArray("\xFF\xFF\xFF\xFF\x66\x0A", 6); }
    // "address:port", as the next request names the last server received.
    static QByteArray AddressText(const TMasterServer& server);
    // The entries of one page's accepted bytes, the end entry included; a
    // short tail is ignored.
    static QList<TMasterServer> Decode(QByteArrayView data);
    static bool IsEndOfList(const TMasterServer& server)
    {
        return server.Port == 0 && server.IP == u"0.0.0.0";
    }

signals:
    void OnServer(const TMasterServer& server);
    // The list is over: Complete when the master's end entry came.
    void OnListEnd(bool complete);

protected:
    void ProcessReply(QByteArrayView data) override;
    void RequestTimedOut() override;

private:
    void AskFrom(const QByteArray& lastAddress);
    void Finish(bool complete);

    std::uint8_t Region_ = 0xFF;
    QByteArray Filter_;
    int MaxPages_ = 1000;
    int Pages_ = 0;
    bool Listing_ = false;
    // Counts lists, so that the decoding of a page finds out when one of its
    // event handlers started a new list.
    std::uint64_t List_ = 0;
    QSet<std::uint64_t> Seen_;
};
