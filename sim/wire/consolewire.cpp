#include "wire/consolewire.h"

#include "model/replybuffer.h"

namespace {

constexpr QByteArrayView kOob("\xFF\xFF\xFF\xFF", 4);

// Password and command after "rcon ": a quoted password, or one word.
bool ParsePasswordAndCommand(TReplyCursor& cursor, TRconCommand& command)
{
    if (cursor.LeftOf(1) == "\"") {
        cursor.CutLeft(1);
        if (cursor.TextBefore('"').size() == cursor.Remaining()) {
            return false;
        }
        command.Password = cursor.NextToken('"');
        cursor.CutLeft(cursor.LeftOf(1) == " " ? 1 : 0);
    } else {
        command.Password = cursor.TakeToken(' ');
    }
    command.Command = cursor.Rest().toByteArray();
    while (command.Command.endsWith('\n') || command.Command.endsWith('\0')) {
        command.Command.chop(1);
    }
    return true;
}

} // namespace

bool IsHLChallengeRequest(QByteArrayView datagram)
{
    return datagram.startsWith(QByteArray(kOob.toByteArray() + "challenge rcon")) &&
           datagram.sliced(18).trimmed().isEmpty();
}

QByteArray EncodeHLChallengeReply(QByteArrayView challenge)
{
    return kOob.toByteArray() + "challenge rcon " + challenge.toByteArray() + QByteArray("\n\0", 2);
}

bool ParseHLRcon(QByteArrayView datagram, TRconCommand& command)
{
    if (!datagram.startsWith(QByteArray(kOob.toByteArray() + "rcon "))) {
        return false;
    }
    TReplyCursor cursor(datagram.sliced(9));
    command = {};
    command.Challenge = cursor.TakeToken(' ');
    return ParsePasswordAndCommand(cursor, command);
}

bool ParseQ3Rcon(QByteArrayView datagram, TRconCommand& command)
{
    if (!datagram.startsWith(QByteArray(kOob.toByteArray() + "rcon "))) {
        return false;
    }
    TReplyCursor cursor(datagram.sliced(9));
    command = {};
    return ParsePasswordAndCommand(cursor, command);
}

QByteArray EncodeHLConsoleOutput(QByteArrayView text)
{
    QByteArray out = kOob.toByteArray() + 'l';
    if (text.isEmpty()) {
        return out.append("\0\0", 2);
    }
    out.append(text);
    if (!out.endsWith('\n')) {
        out.append('\n');
    }
    return out;
}

QByteArray EncodeHLLogLine(QByteArrayView stamp, QByteArrayView entry)
{
    return kOob.toByteArray() + "log L " + stamp.toByteArray() + ": " + entry.toByteArray() + '\n';
}

QByteArray EncodeQ3ConsoleOutput(QByteArrayView text)
{
    return kOob.toByteArray() + "print\n" + text.toByteArray();
}
