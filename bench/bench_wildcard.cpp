// Wildcard matching: a failing pattern of many stars against a long text, the
// case that an exhaustive search turns exponential, and an everyday buddy check.
#include "benchutil.h"
#include "model/wildcard.h"

int main()
{
    const QByteArray text(200, 'a');
    QByteArray pattern;
    for (int i = 0; i < 20; ++i) {
        pattern += "*a";
    }
    pattern += "b";
    volatile bool sink = false;
    PrintFigure("MatchWildcard, 200 bytes vs 20 stars, failing",
                MeasureNs([&] { sink = MatchWildcard(text, pattern, false); }) / 1000.0, "us");
    PrintFigure("MatchWildcard, \"*ctf*\" vs a 40-byte name",
                MeasureNs([&] {
                    sink = MatchWildcard("Capture The Flag | Instagib | EU #1 srv", "*ctf*", false);
                }) / 1000.0,
                "us");

    TServerTable players{{"Name", "Frags", "Ping"}};
    for (int i = 0; i < 32; ++i) {
        players.append({"Player" + QByteArray::number(i), QByteArray::number(i * 3), "50"});
    }
    const TBuddyList buddies{{"*Fragmaster*", false}, {"Nobody?", true}, {"[clan]*", false}};
    PrintFigure("Buddy check, 32 players x 3 cells x 3 buddies, no match",
                MeasureNs([&] { sink = HasBuddy(players, buddies, true); }) / 1000.0, "us");
    (void)sink;
    return 0;
}
