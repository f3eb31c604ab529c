#include "cli/jsonwriter.h"

#include <cmath>

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

void AppendEscaped(QByteArray& out, QByteArrayView bytes)
{
    out.append('"');
    for (qsizetype i = 0; i < bytes.size();) {
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
            default:
                if (c < 0x20) {
                    out.append("\\u00").append(kHex[c >> 4]).append(kHex[c & 15]);
                } else {
                    out.append(char(c));
                }
            }
            ++i;
            continue;
        }
        const qsizetype length = Utf8Sequence(bytes, i);
        if (length > 0) {
            out.append(bytes.sliced(i, length));
            i += length;
        } else {
            out.append("\\udc").append(kHex[c >> 4]).append(kHex[c & 15]);
            ++i;
        }
    }
    out.append('"');
}

} // namespace

QByteArray JsonString(QByteArrayView bytes)
{
    QByteArray out;
    AppendEscaped(out, bytes);
    return out;
}

void TJsonWriter::Separate()
{
    if (!First_) {
        Out_.append(',');
    }
    First_ = false;
}

void TJsonWriter::BeginObject()
{
    Separate();
    Out_.append('{');
    First_ = true;
}

void TJsonWriter::EndObject()
{
    Out_.append('}');
    First_ = false;
}

void TJsonWriter::BeginArray()
{
    Separate();
    Out_.append('[');
    First_ = true;
}

void TJsonWriter::EndArray()
{
    Out_.append(']');
    First_ = false;
}

TJsonWriter& TJsonWriter::Key(const char* name)
{
    Separate();
    AppendEscaped(Out_, QByteArrayView(name));
    Out_.append(':');
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
    Out_.append(QByteArray::number(qlonglong(value)));
}

void TJsonWriter::Real(double value)
{
    Separate();
    Out_.append(std::isfinite(value) ? QByteArray::number(value, 'g', 9) : QByteArray("null"));
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
