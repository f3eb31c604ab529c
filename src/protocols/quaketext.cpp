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
        status.PlayerLines.append(players.first(end).toByteArray());
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
    if (!text.contains('^')) {
        return text;
    }
    for (char digit = '0'; digit <= '9'; ++digit) {
        const char code[] = {'^', digit};
        for (qsizetype at = text.indexOf(QByteArrayView(code, 2)); at >= 0;
             at = text.indexOf(QByteArrayView(code, 2))) {
            text.remove(at, 2);
        }
    }
    return text;
}
