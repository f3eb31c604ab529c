#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// A whole file's bytes; empty when it cannot be read.
inline QByteArray ReadFileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a whole file, making its folder first.
inline bool WriteFileBytes(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}
