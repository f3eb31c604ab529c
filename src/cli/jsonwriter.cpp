#include "cli/jsonwriter.h"

#include <cmath>
#include <iterator>

namespace {

const char kHex[] = "0123456789abcdef";

// The length of the valid UTF-8 sequence at Text[i], or 0.
qsizetype Utf8Sequence(QByteArrayView text, qsizetype i)
{
    const auto byte = [&](qsizetype k) { return std::uint8_t(text[k]); };
    const std::uint8_t lead = byte(i);
    qsizetype length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (qsizetype k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

// Whether an ASCII byte goes out as it is (no quote, backslash or control).
bool Plain(std::uint8_t c)
{
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

void AppendEscaped(std::string& out, QByteArrayView bytes)
{
    out.push_back('"');
    qsizetype i = 0;
    while (i < bytes.size()) {
        // Runs of bytes that need no escape are copied whole.
        qsizetype run = i;
        while (run < bytes.size() && Plain(std::uint8_t(bytes[run]))) {
            ++run;
        }
        if (run > i) {
            out.append(bytes.data() + i, std::size_t(run - i));
            i = run;
            continue;
        }
        const auto c = std::uint8_t(bytes[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\r':
                out.append("\\r");
                break;
            default: {
                const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                out.append(escape, sizeof escape);
            }
            }
            ++i;
            continue;
        }
        const qsizetype length = Utf8Sequence(bytes, i);
        if (length > 0) {
            out.append(bytes.data() + i, std::size_t(length));
            i += length;
        } else {
            const char escape[] = {'\\', 'u', 'd', 'c', kHex[c >> 4], kHex[c & 15]};
            out.append(escape, sizeof escape);
            ++i;
        }
    }
    out.push_back('"');
}

} // namespace

QByteArray JsonString(QByteArrayView bytes)
{
    std::string out;
    AppendEscaped(out, bytes);
    return QByteArray(out.data(), qsizetype(out.size()));
}

TJsonWriter::TJsonWriter()
{
    // One server's object with its players and rules fits in most cases.
    Out_.reserve(4096);
}

QByteArray TJsonWriter::Result() const
{
    return QByteArray(Out_.data(), qsizetype(Out_.size()));
}

void TJsonWriter::Separate()
{
    if (!First_) {
        Out_.push_back(',');
    }
    First_ = false;
}

void TJsonWriter::BeginObject()
{
    Separate();
    Out_.push_back('{');
    First_ = true;
}

void TJsonWriter::EndObject()
{
    Out_.push_back('}');
    First_ = false;
}

void TJsonWriter::BeginArray()
{
    Separate();
    Out_.push_back('[');
    First_ = true;
}

void TJsonWriter::EndArray()
{
    Out_.push_back(']');
    First_ = false;
}

TJsonWriter& TJsonWriter::Key(const char* name)
{
    Separate();
    AppendEscaped(Out_, QByteArrayView(name));
    Out_.push_back(':');
    First_ = true; // the value follows without a comma
    return *this;
}

void TJsonWriter::Bytes(QByteArrayView bytes)
{
    Separate();
    AppendEscaped(Out_, bytes);
}

void TJsonWriter::Number(std::int64_t value)
{
    Separate();
    // Digits from the last, into a buffer wide enough for any 64-bit value.
    char digits[20];
    char* first = std::end(digits);
    std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    do {
        *--first = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        Out_.push_back('-');
    }
    Out_.append(first, std::end(digits));
}

void TJsonWriter::Real(double value)
{
    Separate();
    const QByteArray text = std::isfinite(value) ? QByteArray::number(value, 'g', 9) : "null";
    Out_.append(text.constData(), std::size_t(text.size()));
}

void TJsonWriter::Bool(bool value)
{
    Separate();
    Out_.append(value ? "true" : "false");
}

void TJsonWriter::StringList(const QList<QByteArray>& list)
{
    BeginArray();
    for (const QByteArray& item : list) {
        Bytes(item);
    }
    EndArray();
}
