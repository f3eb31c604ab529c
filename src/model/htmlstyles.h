#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// The look of one table of an exported HTML page, as "define.ini" sets it.
struct THtmlTableStyle
{
    QByteArray OddColor = "#000040";
    QByteArray EvenColor = "#000080";
    QByteArray FontFace = "Verdana, Arial";
    QByteArray FontColor = "#FFFFFF";
    QByteArray FontSize = "-1";
    QByteArray HeaderColor = "#0000FF";

    bool operator==(const THtmlTableStyle&) const = default;
};

// The 18 style values every server record carries: the player, rule and
// other table, in that order.
struct THtmlStyles
{
    THtmlTableStyle Player;
    THtmlTableStyle Rule;
    THtmlTableStyle Other;

    bool operator==(const THtmlStyles&) const = default;
};

// Reads the sections "PlayerTable", "RuleTable" and "OtherTable" of the INI
// file at Path, with the defaults for a missing file, section or key. The
// result is cached and read again only when the file's size or time changes,
// so that creating thousands of records costs one file status each.
std::shared_ptr<const THtmlStyles> LoadHtmlStyles(const QString& path);

// The value of Key in Section of INI text, as GetPrivateProfileString reads
// it: names compared without case, blanks around names and values dropped,
// one pair of surrounding quotes removed. Null when it is not there.
QByteArray IniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key);
