#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "masters/masterserver.h"

// The master servers' side of the four master protocols: a server list
// split into the datagrams a master sends, none longer than MaxDatagram
// bytes. Each list reads back, datagram by datagram through the decoder of
// its protocol, as the servers given, in order. Every encoder sends at least
// one datagram, so an empty list is an answer too.

// The largest datagram masters send: it fits an Ethernet frame.
constexpr qsizetype MasterDatagramSize = 1400;

// The first datagram starts with FF FF FF FF 64 0D, the others hold entries
// only; an entry is the address and a big-endian port.
QList<QByteArray> EncodeHLMasterList(const QList<TMasterServer>& servers,
                                     qsizetype maxDatagram = MasterDatagramSize);

// Every datagram starts with FF FF FF FF "getserversResponse" and holds
// entries of a backslash, the address and a big-endian port; the last one
// ends with the end-of-list entry "\EOT" and three zero bytes.
QList<QByteArray> EncodeQ3MasterList(const QList<TMasterServer>& servers,
                                     qsizetype maxDatagram = MasterDatagramSize);

// Every datagram starts with 10 06, its number (from 1) and the number of
// datagrams; the first names the master and its message of the day. Each
// holds a big-endian count and entries of a length byte 6, the address and
// a little-endian port.
QList<QByteArray> EncodeTribesMasterList(const QList<TMasterServer>& servers,
                                         QByteArrayView masterName, QByteArrayView motd,
                                         qsizetype maxDatagram = MasterDatagramSize);

// Every datagram starts with 08 00 00 00 00 00, its index (from 0) and the
// number of datagrams, a little-endian count and entries of the address and
// a little-endian port.
QList<QByteArray> EncodeT2MasterList(const QList<TMasterServer>& servers,
                                     qsizetype maxDatagram = MasterDatagramSize);

// The most servers a page of a Steam-kind Half-Life master holds besides
// its end entry: the page fits MasterDatagramSize bytes.
constexpr qsizetype HLSteamMasterPageSize = 231;

// One page of a Steam-kind Half-Life master: FF FF FF FF 66 0A and the
// entries (an address and a big-endian port), with the end entry 0.0.0.0:0
// after them when Last.
QByteArray EncodeHLSteamMasterPage(const QList<TMasterServer>& servers, bool last);

// What a Steam-kind master asks the list with: "1", the region, the last
// address received and the filter, texts ended by a zero byte.
struct THLSteamMasterRequest
{
    std::uint8_t Region = 0xFF;
    QByteArray LastAddress;
    QByteArray Filter;
};
bool ParseHLSteamMasterRequest(QByteArrayView request, THLSteamMasterRequest& parsed);

// The page that answers a request naming LastAddress: the PageSize servers
// after it. A master that does not know the address (a client that starts
// with 0.0.0.0:0, or a new socket) starts from the first server.
QByteArray EncodeHLSteamMasterAnswer(const QList<TMasterServer>& servers,
                                     QByteArrayView lastAddress,
                                     qsizetype pageSize = HLSteamMasterPageSize);

// Every page a client receives that asks from the start and then from the
// last address of each page, in order.
QList<QByteArray> EncodeHLSteamMasterList(const QList<TMasterServer>& servers,
                                          qsizetype pageSize = HLSteamMasterPageSize);
