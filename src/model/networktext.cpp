#include "model/networktext.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

bool IsAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() > 0x7F) {
            return false;
        }
    }
    return true;
}

} // namespace

QString TextOfBytes(QByteArrayView bytes)
{
    if (bytes.isValidUtf8()) {
        // A leading byte order mark is part of what the server sent: kept as
        // a character, so the shown text stands for the same bytes.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        return utf8(bytes);
    }
    return QString::fromLatin1(bytes);
}

QByteArray BytesOfText(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF) {
            return text.toUtf8();
        }
    }
    return text.toLatin1();
}

QByteArray BytesOfShown(QStringView shown, QByteArrayView source)
{
    if (TextOfBytes(source) == shown) {
        return source.toByteArray();
    }
    return BytesOfText(shown);
}

QString StoredText(QByteArrayView bytes)
{
    // Text that would come back as other bytes (UTF-8 of characters that
    // all fit in Latin-1) is kept one character per byte instead.
    QString text = TextOfBytes(bytes);
    if (BytesOfText(text) != bytes) {
        text = QString::fromLatin1(bytes);
    }
    return text;
}

QString AsciiHost(QStringView typed)
{
    if (IsAscii(typed)) {
        return typed.toString();
    }
    const QByteArray ace = QUrl::toAce(typed.trimmed().toString());
    return ace.isEmpty() ? typed.toString() : QString::fromLatin1(ace);
}
