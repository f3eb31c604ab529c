#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include "model/genericserver.h"
#include "model/htmlstyles.h"

// A server saved as a web page: the page template "index.html" of the
// record's template folder, filled line by line with the server's details.
// Pages are UTF-8. Text that came from a server is escaped, so a server can
// put no markup or script into a page; the template and the styles of
// "define.ini" go in as the user wrote them.

// Bytes a server sent, as page text: read by the program's text rule, with
// the characters that have a meaning in HTML escaped.
QByteArray HtmlServerText(QByteArrayView bytes);
// Text of the program's own (a game's name, an address), escaped likewise.
QByteArray HtmlEscaped(const QString& text);

// The rows of a player or other table: a heading row from row 0, then
// every further row in the even and odd colours by turns, starting with the
// even one. Nothing for an empty table.
QByteArray HtmlTableRows(const TServerTable& table, const THtmlTableStyle& style);
// The rows of the rule table: headings "Name" and "Value", then one row per
// rule. Nothing without rules.
QByteArray HtmlRuleRows(const TRuleList& rules, const THtmlTableStyle& style);

// A placeholder of the page template and what it stands for.
struct THtmlPlaceholder
{
    QByteArrayView Name;
    QByteArray Value;
};

// The thirteen placeholders with one server's values, in the order they are
// looked for.
QList<THtmlPlaceholder> HtmlPlaceholders(const TGenericServer& server);

// One template line with every placeholder replaced (case-sensitive). The
// line is read once from left to right, so what was put in is never read
// again: a server named "$map" shows that name, not its map.
QByteArray FillHtmlLine(QByteArrayView line, const QList<THtmlPlaceholder>& placeholders);

// The whole page of a template: each line (ended by CR LF, LF or CR) filled
// and ended by CR LF. An empty template gives one empty line.
QByteArray HtmlPage(QByteArrayView pageTemplate, const TGenericServer& server);

// "index.html" in the record's template folder.
QString HtmlTemplatePath(const TGenericServer& server);

// Writes the page of Server to Path and returns true. A missing or
// unreadable template, a folder that cannot be made or a file that cannot
// be written returns false with a message for the user in Error. The page
// is written to a new file and takes the place of Path only when complete,
// so a failure leaves an existing file as it was.
bool SaveHTML(const TGenericServer& server, const QString& path, QString* error = nullptr);

// The file name the save dialog proposes: the server's name without the
// characters \ / : * ? " < > | and without control characters, trimmed of
// blanks, with ".html" appended; short enough for the file system. A name
// that leaves nothing gives the server's address, so the page is never a
// hidden ".html".
QString ProposedHtmlFileName(const TGenericServer& server);
