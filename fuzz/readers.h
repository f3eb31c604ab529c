#pragma once

#include <QByteArrayView>

#include <span>

// Every reader of bytes that come from outside the program, as one function
// each: the game servers' replies, the masters' answers, the server list
// file, the settings file, the filter profiles and the remote console's
// replies. A reader takes any bytes,
// goes on with what it read the way the program does (a reply into a list
// row, a profile into its verdicts), and checks what must hold whatever the
// bytes were. It returns false when something does not hold; a crash, a read
// past the end or undefined behaviour is caught by the sanitizers.
//
// The fuzz targets run them under libFuzzer; tests/fuzz runs every input that
// ever failed (kept under tests/data/fuzz/<name>/) and the seeds.
//
struct TFuzzReader
{
    const char* Name;
    bool (*Read)(QByteArrayView data);
};

std::span<const TFuzzReader> FuzzReaders();

// The reader of that name; nullptr when there is none.
const TFuzzReader* FuzzReader(QByteArrayView name);
