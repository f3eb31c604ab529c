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
