#include "model/wildcard.h"

namespace {

char Fold(char c, bool caseSensitive)
{
    return !caseSensitive && c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

} // namespace

bool MatchWildcard(QByteArrayView text, QByteArrayView pattern, bool caseSensitive)
{
    if (pattern.isEmpty()) {
        return true;
    }
    // Greedy matching that remembers only the last star: when the text runs
    // against the pattern, the last star swallows one more byte and the match
    // resumes after it. An earlier star never needs to be revisited, because
    // whatever it could swallow the later star can swallow as well, so this
    // gives the same answer as trying every split, in O(text x pattern) at
    // worst instead of exponential time.
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (true) {
        if (p < pattern.size() && pattern[p] == '*') {
            if (p + 1 == pattern.size()) {
                return true;
            }
            starP = ++p;
            starT = t;
            continue;
        }
        if (t == text.size() && p == pattern.size()) {
            return true;
        }
        const bool byteMatches =
            p < pattern.size() && t < text.size() &&
            (pattern[p] == '?' || Fold(pattern[p], caseSensitive) == Fold(text[t], caseSensitive));
        if (byteMatches) {
            ++t;
            ++p;
            continue;
        }
        if (starP < 0 || starT >= text.size()) {
            return false;
        }
        t = ++starT;
        p = starP;
    }
}

bool HasBuddy(const TServerTable& players, const TBuddyList& buddies, bool enabled)
{
    if (!enabled) {
        return false;
    }
    for (qsizetype row = 1; row < players.size(); ++row) {
        for (const QByteArray& cell : players[row]) {
            for (const TBuddy& buddy : buddies) {
                if (MatchWildcard(cell, buddy.Pattern, buddy.CaseSensitive)) {
                    return true;
                }
            }
        }
    }
    return false;
}
