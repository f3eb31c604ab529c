#include "protocols/quaketext.h"

TQuakeStatusText SplitQuakeStatus(QByteArrayView body)
{
    TQuakeStatusText status;
    const qsizetype lineEnd = body.indexOf('\n');
    if (lineEnd < 0) {
        status.Rules = ParseInfoString(body);
        return status;
    }
    status.Rules = ParseInfoString(body.first(lineEnd));
    QByteArrayView players = body.sliced(lineEnd + 1);
    for (qsizetype end = players.indexOf('\n'); end >= 0; end = players.indexOf('\n')) {
        status.PlayerLines.append(players.first(end));
        players = players.sliced(end + 1);
    }
    return status;
}

TRuleList ParseInfoString(QByteArrayView info)
{
    // A field ends at each backslash; a closing backslash is implied, so the
    // last value is complete while a last key without its value is dropped.
    TRuleList rules;
    QByteArray key;
    qsizetype fieldStart = 0;
    bool inValue = false;
    for (qsizetype i = 0; i <= info.size(); ++i) {
        if (i < info.size() && info[i] != '\\') {
            continue;
        }
        const QByteArrayView field = info.sliced(fieldStart, i - fieldStart);
        if (inValue) {
            rules.append({key, field.toByteArray()});
        } else {
            key = field.toByteArray();
        }
        inValue = !inValue;
        fieldStart = i + 1;
    }
    return rules;
}

QByteArray FindRule(const TRuleList& rules, QByteArrayView name)
{
    for (const TRule& rule : rules) {
        if (rule.Name == name) {
            return rule.Value;
        }
    }
    return {};
}

QByteArray RemoveColorCodes(QByteArray text)
{
    const qsizetype firstCaret = text.indexOf('^');
    if (firstCaret < 0) {
        return text;
    }
    const auto removeCodes = [&text](auto isCode) {
        char* out = text.data();
        qsizetype kept = 0;
        for (const char c : QByteArrayView(text)) {
            if (isCode(c) && kept > 0 && out[kept - 1] == '^') {
                --kept;
            } else {
                out[kept++] = c;
            }
        }
        text.truncate(kept);
    };
    // Deleting every "^d" of one digit, again and again from the start, ends
    // in the same text whatever the order of the deletions (a caret pairs
    // with the digit after it like an opening with a closing bracket), so
    // one pass with the output as a stack does it. A deletion brings two
    // other bytes together, and only when the first of them is a caret
    // (the text held "^^") can that make a code of a digit whose turn came
    // earlier and which must then stay. Without "^^" every code goes in one
    // pass; with it, the digits take their turns.
    if (!text.contains("^^")) {
        removeCodes([](char c) { return c >= '0' && c <= '9'; });
        return text;
    }
    for (char digit = '0'; digit <= '9' && text.contains('^'); ++digit) {
        removeCodes([digit](char c) { return c == digit; });
    }
    return text;
}
