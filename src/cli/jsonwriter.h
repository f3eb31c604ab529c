#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <string>

// Writes one JSON text, in the order its members are given. Network
// strings are bytes: a byte string is written as its UTF-8 text where it is
// valid UTF-8, and every byte that is not part of a valid UTF-8 sequence is
// written as the escape \udcXX, XX being the byte in hex (the "surrogate
// escape": U+DC80 to U+DCFF stand for the bytes 80 to FF). Nothing is
// dropped, and the bytes come back exactly, for example in Python with
// text.encode("utf-8", "surrogateescape").
class TJsonWriter
{
public:
    TJsonWriter();

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // Starts a member of the current object.
    TJsonWriter& Key(const char* name);

    void Bytes(QByteArrayView bytes);
    void Text(const char* text) { Bytes(QByteArrayView(text)); }
    void Number(std::int64_t value);
    void Real(double value);
    void Bool(bool value);
    void StringList(const QList<QByteArray>& list);

    QByteArray Result() const;

private:
    void Separate();

    std::string Out_;
    bool First_ = true;
};

// A byte string as a JSON string, quotes included, escaped as TJsonWriter does.
QByteArray JsonString(QByteArrayView bytes);
