#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Bytes written in a test as text with \xNN escapes, for readability of
// hand-built replies: Bytes("\xFF\xFF\xFF\xFF" "print\n").
inline QByteArray Bytes(const char* text, qsizetype size)
{
    return QByteArray(text, size);
}

template <std::size_t N> QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// The contents of a file under tests/data/.
inline QByteArray TestData(const QString& name)
{
    QFile file(QStringLiteral(MORVIX_TEST_DATA_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("missing test data file %s", qPrintable(name));
    }
    return file.readAll();
}
