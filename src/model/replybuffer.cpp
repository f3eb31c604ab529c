#include "model/replybuffer.h"

#include <limits>

QByteArray LeftOf(const QByteArray& buffer, qsizetype count)
{
    return TReplyCursor(buffer).LeftOf(count);
}

void CutLeft(QByteArray& buffer, qsizetype count)
{
    if (count >= 0 && count <= buffer.size()) {
        buffer.remove(0, count);
    }
}

QByteArray TextBefore(const QByteArray& buffer, char delimiter)
{
    return TReplyCursor(buffer).TextBefore(delimiter);
}

void SkipPast(QByteArray& buffer, char delimiter)
{
    const qsizetype at = buffer.indexOf(delimiter);
    if (at >= 0) {
        buffer.remove(0, at + 1);
    }
}

QByteArray NextToken(QByteArray& buffer, char delimiter)
{
    QByteArray token = TextBefore(buffer, delimiter);
    SkipPast(buffer, delimiter);
    return token;
}

QByteArray ReadPString(QByteArray& buffer)
{
    TReplyCursor cursor(buffer);
    QByteArray text = cursor.ReadPString();
    buffer.remove(0, cursor.Consumed());
    return text;
}

QByteArray ReplaceAll(const QByteArray& text, QByteArrayView find, QByteArrayView replacement)
{
    if (find.isEmpty()) {
        return text;
    }
    QByteArray result;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(find); at >= 0; at = text.indexOf(find, from)) {
        result.append(text.constData() + from, at - from);
        result.append(replacement);
        from = at + find.size();
    }
    if (from == 0) {
        return text;
    }
    result.append(text.constData() + from, text.size() - from);
    return result;
}

QByteArray KeepPrintable(QByteArrayView text)
{
    QByteArray result;
    result.reserve(text.size());
    for (char c : text) {
        if (c >= 32 && c <= 126) {
            result.append(c);
        }
    }
    return result;
}

int ToIntDef(QByteArrayView text, int defaultValue)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return defaultValue;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return defaultValue;
        }
        value = value * 10 + (text[i] - '0');
        if (value > 1LL + std::numeric_limits<int>::max()) {
            return defaultValue;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
        return defaultValue;
    }
    return int(value);
}
