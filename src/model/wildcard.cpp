#include "model/wildcard.h"

namespace {

template <typename TChar> TChar Fold(TChar c, bool caseSensitive)
{
    return !caseSensitive && c >= TChar('a') && c <= TChar('z') ? TChar(c - 32) : c;
}

// Over bytes or over whole characters alike.
template <typename TView> bool Match(TView text, TView pattern, bool caseSensitive)
{
    if (pattern.empty()) {
        return true;
    }
    // Greedy matching that remembers only the last star: when the text runs
    // against the pattern, the last star swallows one more byte and the match
    // resumes after it. An earlier star never needs to be revisited, because
    // whatever it could swallow the later star can swallow as well, so this
    // gives the same answer as trying every split, in O(text x pattern) at
    // worst instead of exponential time.
    const auto textSize = qsizetype(text.size());
    const auto patternSize = qsizetype(pattern.size());
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (true) {
        if (p < patternSize && pattern[p] == '*') {
            if (p + 1 == patternSize) {
                return true;
            }
            starP = ++p;
            starT = t;
            continue;
        }
        if (t == textSize && p == patternSize) {
            return true;
        }
        const bool matches =
            p < patternSize && t < textSize &&
            (pattern[p] == '?' || Fold(pattern[p], caseSensitive) == Fold(text[t], caseSensitive));
        if (matches) {
            ++t;
            ++p;
            continue;
        }
        if (starP < 0 || starT >= textSize) {
            return false;
        }
        t = ++starT;
        p = starP;
    }
}

} // namespace

bool MatchWildcard(QByteArrayView text, QByteArrayView pattern, bool caseSensitive)
{
    return Match(std::span(text.data(), std::size_t(text.size())),
                 std::span(pattern.data(), std::size_t(pattern.size())), caseSensitive);
}

bool MatchWildcard(std::span<const uint> text, std::span<const uint> pattern, bool caseSensitive)
{
    return Match(text, pattern, caseSensitive);
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
