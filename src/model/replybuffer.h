#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

// The reading vocabulary of every reply decoder. A reply is consumed from the
// front; no operation ever reads past its end. The rules for short data are
// part of the wire formats: a read that does not fit consumes nothing.
//
// TReplyCursor does the work on a view of the datagram without copying; the
// free functions below give the same operations on a QByteArray that is
// consumed in place, for code that keeps its own buffer.
class TReplyCursor
{
public:
    TReplyCursor() = default;
    explicit TReplyCursor(QByteArrayView data) : Data_(data) {}

    qsizetype Remaining() const { return Data_.size() - Pos_; }
    bool AtEnd() const { return Pos_ >= Data_.size(); }
    qsizetype Consumed() const { return Pos_; }
    QByteArrayView Rest() const { return Data_.sliced(Pos_); }

    // The first Count bytes (fewer if the rest is shorter); consumes nothing.
    QByteArray LeftOf(qsizetype count) const
    {
        return Rest().first(qBound<qsizetype>(0, count, Remaining())).toByteArray();
    }

    // Drops Count bytes, but only when that many remain.
    bool CutLeft(qsizetype count)
    {
        if (count < 0 || count > Remaining()) {
            return false;
        }
        Pos_ += count;
        return true;
    }

    // Copies sizeof(T) bytes, little-endian, into Dest and drops them; when
    // fewer remain, Dest is left unchanged and nothing is consumed.
    template <typename T> bool ReadBytes(T& dest)
    {
        static_assert(std::is_arithmetic_v<T>);
        if (Remaining() < qsizetype(sizeof(T))) {
            return false;
        }
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, Data_.data() + Pos_, sizeof(T));
        if constexpr (std::endian::native == std::endian::big) {
            std::reverse(std::begin(raw), std::end(raw));
        }
        std::memcpy(&dest, raw, sizeof(T));
        Pos_ += sizeof(T);
        return true;
    }

    // Like ReadBytes, but a number cut short by the end of the data takes
    // the rest with it, so that every later read is past the end.
    template <typename T> bool TakeBytes(T& dest)
    {
        if (ReadBytes(dest)) {
            return true;
        }
        Pos_ = Data_.size();
        return false;
    }

    // One byte, or 0 past the end.
    std::uint8_t ReadU8()
    {
        std::uint8_t value = 0;
        ReadBytes(value);
        return value;
    }

    // A big-endian 16-bit number, or 0 when two bytes are not there.
    std::uint16_t ReadU16BE()
    {
        if (Remaining() < 2) {
            return 0;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(Data_.data() + Pos_);
        Pos_ += 2;
        return std::uint16_t(p[0] << 8 | p[1]);
    }

    // The bytes before the first Delimiter, or the whole rest.
    QByteArray TextBefore(char delimiter) const
    {
        const QByteArrayView rest = Rest();
        const qsizetype at = rest.indexOf(delimiter);
        return (at < 0 ? rest : rest.first(at)).toByteArray();
    }

    // Drops everything up to and including the first Delimiter, if there is one.
    bool SkipPast(char delimiter)
    {
        const qsizetype at = Rest().indexOf(delimiter);
        if (at < 0) {
            return false;
        }
        Pos_ += at + 1;
        return true;
    }

    // TextBefore, then SkipPast. Without a delimiter the whole rest is
    // returned and nothing is consumed.
    QByteArray NextToken(char delimiter) { return NextTokenView(delimiter).toByteArray(); }

    // NextToken without a copy: the view lives as long as the data.
    QByteArrayView NextTokenView(char delimiter)
    {
        const QByteArrayView rest = Rest();
        const qsizetype at = rest.indexOf(delimiter);
        if (at < 0) {
            return rest;
        }
        Pos_ += at + 1;
        return rest.first(at);
    }

    // Like NextToken, but without a delimiter the whole rest is the token and
    // is consumed with it: a field that runs to the end of the data is read
    // once, and every later read finds the end instead of the same bytes.
    QByteArray TakeToken(char delimiter) { return TakeTokenView(delimiter).toByteArray(); }

    // TakeToken without a copy: the view lives as long as the data.
    QByteArrayView TakeTokenView(char delimiter)
    {
        const QByteArrayView rest = Rest();
        const qsizetype at = rest.indexOf(delimiter);
        Pos_ = at < 0 ? Data_.size() : Pos_ + at + 1;
        return at < 0 ? rest : rest.first(at);
    }

    // Whether a length byte and all the bytes it announces remain.
    bool HasPString() const { return !AtEnd() && std::uint8_t(Data_[Pos_]) < Remaining(); }

    // A length byte L followed by L bytes (fewer when the data is short);
    // L + 1 bytes are dropped when that many remain. Empty past the end.
    QByteArray ReadPString()
    {
        if (AtEnd()) {
            return {};
        }
        const qsizetype length = std::uint8_t(Data_[Pos_]);
        QByteArray text = Rest().sliced(1).first(qMin(length, Remaining() - 1)).toByteArray();
        CutLeft(length + 1);
        return text;
    }

    // Like ReadPString, but a string cut short by the end of the data takes
    // the rest with it, so that every later read is past the end.
    QByteArray TakePString()
    {
        const bool complete = HasPString();
        QByteArray text = ReadPString();
        if (!complete) {
            Pos_ = Data_.size();
        }
        return text;
    }

private:
    QByteArrayView Data_;
    qsizetype Pos_ = 0;
};

QByteArray LeftOf(const QByteArray& buffer, qsizetype count);
void CutLeft(QByteArray& buffer, qsizetype count);
QByteArray TextBefore(const QByteArray& buffer, char delimiter);
void SkipPast(QByteArray& buffer, char delimiter);
QByteArray NextToken(QByteArray& buffer, char delimiter);
QByteArray ReadPString(QByteArray& buffer);

template <typename T> bool ReadBytes(QByteArray& buffer, T& dest)
{
    TReplyCursor cursor(buffer);
    if (!cursor.ReadBytes(dest)) {
        return false;
    }
    buffer.remove(0, cursor.Consumed());
    return true;
}

// Replaces every occurrence of Find, left to right; inserted text is not
// searched again.
QByteArray ReplaceAll(const QByteArray& text, QByteArrayView find, QByteArrayView replacement);

// Keeps only the bytes 32 to 126.
QByteArray KeepPrintable(QByteArrayView text);

// True when bit Bit (0 = least significant) of Value is set.
constexpr bool BitSet(std::uint32_t value, int bit)
{
    return bit >= 0 && bit < 32 && (value >> bit & 1u) != 0;
}

// A decimal integer: optional leading blanks, an optional sign and digits that
// run to the end of the text, within 32 bits. Anything else gives Default.
int ToIntDef(QByteArrayView text, int defaultValue = 0);
