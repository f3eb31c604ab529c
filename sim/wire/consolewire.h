#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The remote consoles of Half-Life and Quake 3 servers, seen from the
// server: the datagrams a console client sends, and the answers.

// One console command as a client sends it.
struct TRconCommand
{
    QByteArray Challenge; // Half-Life only
    QByteArray Password;
    QByteArray Command;
};

// FF FF FF FF "challenge rcon" and a line feed (trailing blanks and line
// feeds are not looked at).
bool IsHLChallengeRequest(QByteArrayView datagram);

// FF FF FF FF "challenge rcon ", the challenge, a line feed and a zero byte.
QByteArray EncodeHLChallengeReply(QByteArrayView challenge);

// FF FF FF FF "rcon CHALLENGE \"PASSWORD\" COMMAND". The password may also
// come without quotes (then it ends at a blank).
bool ParseHLRcon(QByteArrayView datagram, TRconCommand& command);

// FF FF FF FF "rcon \"PASSWORD\" COMMAND", or with the password unquoted.
bool ParseQ3Rcon(QByteArrayView datagram, TRconCommand& command);

// FF FF FF FF "l" and the output: Text's lines, each ended by a line feed.
// An empty text is the end of an answer: two zero bytes.
QByteArray EncodeHLConsoleOutput(QByteArrayView text);

// FF FF FF FF "log L MM/DD/YYYY - HH:MM:SS: " and the entry: one line of a
// server's log stream.
QByteArray EncodeHLLogLine(QByteArrayView stamp, QByteArrayView entry);

// FF FF FF FF "print" and a line feed, then the output.
QByteArray EncodeQ3ConsoleOutput(QByteArrayView text);
