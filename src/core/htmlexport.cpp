#include "core/htmlexport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "model/gamecatalogue.h"
#include "model/networktext.h"

namespace {

QByteArray EscapeUtf8(QByteArrayView utf8)
{
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 8);
    for (const char c : utf8) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void AppendRow(QByteArray& out, const QByteArray& color, const QList<QByteArray>& cells,
               const THtmlTableStyle& style)
{
    out += "<TR BGCOLOR=\"" + color + "\">";
    for (const QByteArray& cell : cells) {
        out += "<TD><FONT FACE=\"" + style.FontFace + "\" SIZE=\"" + style.FontSize +
               "\" COLOR=\"" + style.FontColor + "\">" + cell + "</FONT></TD>";
    }
    out += "</TR>";
}

const QByteArray& RowColor(qsizetype dataRow, const THtmlTableStyle& style)
{
    // The first row under the headings counts as row 1, an even one.
    return dataRow % 2 == 1 ? style.EvenColor : style.OddColor;
}

QList<QByteArray> EscapedCells(const QList<QByteArray>& cells)
{
    QList<QByteArray> escaped;
    escaped.reserve(cells.size());
    for (const QByteArray& cell : cells) {
        escaped.append(HtmlServerText(cell));
    }
    return escaped;
}

// Why a write failed; a write cut short sets no error of its own.
QString WriteFailure(const QFileDevice& file)
{
    return file.error() != QFileDevice::NoError
               ? file.errorString()
               : QStringLiteral("the disk is full or the file is too large.");
}

QByteArray Number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

QByteArray HtmlServerText(QByteArrayView bytes)
{
    return HtmlEscaped(TextOfBytes(bytes));
}

QByteArray HtmlEscaped(const QString& text)
{
    // The escaped characters are ASCII, so no multi-byte sequence holds one.
    return EscapeUtf8(text.toUtf8());
}

QByteArray HtmlTableRows(const TServerTable& table, const THtmlTableStyle& style)
{
    QByteArray out;
    for (qsizetype row = 0; row < table.size(); ++row) {
        AppendRow(out, row == 0 ? style.HeaderColor : RowColor(row, style),
                  EscapedCells(table[row]), style);
    }
    return out;
}

QByteArray HtmlRuleRows(const TRuleList& rules, const THtmlTableStyle& style)
{
    QByteArray out;
    if (rules.isEmpty()) {
        return out;
    }
    AppendRow(out, style.HeaderColor, {"Name", "Value"}, style);
    for (qsizetype i = 0; i < rules.size(); ++i) {
        AppendRow(out, RowColor(i + 1, style),
                  {HtmlServerText(rules[i].Name), HtmlServerText(rules[i].Value)}, style);
    }
    return out;
}

QList<THtmlPlaceholder> HtmlPlaceholders(const TGenericServer& server)
{
    const THtmlStyles styles = server.Styles ? *server.Styles : THtmlStyles();
    return {
        {"$gamename", HtmlEscaped(GameTypeName(server.GameType))},
        {"$gametype", HtmlServerText(server.GameName)},
        {"$name", HtmlServerText(server.Name)},
        {"$version", HtmlServerText(server.Version)},
        {"$map", HtmlServerText(server.Map)},
        {"$address", HtmlEscaped(server.Info.Host)},
        {"$port", Number(server.Info.Port)},
        {"$ping", Number(server.Info.Ping)},
        {"$playermax", Number(server.MaxPlayers)},
        {"$playercount", Number(server.NumPlayers)},
        {"$playertable", HtmlTableRows(server.PlayerTable, styles.Player)},
        {"$ruletable", HtmlRuleRows(server.Rules, styles.Rule)},
        {"$othertable", HtmlTableRows(server.TeamTable, styles.Other)},
    };
}

QByteArray FillHtmlLine(QByteArrayView line, const QList<THtmlPlaceholder>& placeholders)
{
    // No placeholder is the start of another, so at most one matches at a
    // place, and one pass gives what replacing them one after another in
    // their order would give for the template's own text.
    QByteArray out;
    out.reserve(line.size());
    qsizetype from = 0;
    while (from < line.size()) {
        const qsizetype dollar = line.indexOf('$', from);
        if (dollar < 0) {
            out += line.sliced(from);
            break;
        }
        out += line.sliced(from, dollar - from);
        const QByteArrayView rest = line.sliced(dollar);
        const THtmlPlaceholder* found = nullptr;
        for (const THtmlPlaceholder& placeholder : placeholders) {
            if (rest.startsWith(placeholder.Name)) {
                found = &placeholder;
                break;
            }
        }
        if (found) {
            out += found->Value;
            from = dollar + found->Name.size();
        } else {
            out += '$';
            from = dollar + 1;
        }
    }
    return out;
}

QByteArray HtmlPage(QByteArrayView pageTemplate, const TGenericServer& server)
{
    const QList<THtmlPlaceholder> placeholders = HtmlPlaceholders(server);
    QByteArray page;
    qsizetype from = 0;
    do {
        qsizetype end = from;
        while (end < pageTemplate.size() && pageTemplate[end] != '\r' &&
               pageTemplate[end] != '\n') {
            ++end;
        }
        page += FillHtmlLine(pageTemplate.sliced(from, end - from), placeholders);
        page += "\r\n";
        if (end + 1 < pageTemplate.size() && pageTemplate[end] == '\r' &&
            pageTemplate[end + 1] == '\n') {
            ++end;
        }
        from = end + 1;
    } while (from < pageTemplate.size());
    return page;
}

QString HtmlTemplatePath(const TGenericServer& server)
{
    return server.TemplatesDir + QStringLiteral("HTML/index.html");
}

bool SaveHTML(const TGenericServer& server, const QString& path, QString* error)
{
    const auto fail = [&](const QString& message) {
        if (error) {
            *error = message;
        }
        return false;
    };

    const QString templatePath = HtmlTemplatePath(server);
    if (!QFileInfo(templatePath).isFile()) {
        return fail(QStringLiteral("The page template \"%1\" was not found.").arg(templatePath));
    }
    QFile templateFile(templatePath);
    if (!templateFile.open(QIODevice::ReadOnly)) {
        return fail(QStringLiteral("The page template \"%1\" could not be read: %2")
                        .arg(templatePath, templateFile.errorString()));
    }
    const QByteArray pageTemplate = templateFile.readAll();
    if (templateFile.error() != QFileDevice::NoError) {
        return fail(QStringLiteral("The page template \"%1\" could not be read: %2")
                        .arg(templatePath, templateFile.errorString()));
    }

    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return fail(QStringLiteral("The page could not be saved: the folder \"%1\" could not "
                                   "be created.")
                        .arg(folder));
    }
    QSaveFile page(path);
    if (!page.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(
            QStringLiteral("The page \"%1\" could not be saved: %2").arg(path, page.errorString()));
    }
    // Written unbuffered: a buffered write cut short (a full disk, a size
    // limit) at commit goes unnoticed; this way the count tells.
    const QByteArray contents = HtmlPage(pageTemplate, server);
    if (page.write(contents) != contents.size() || !page.commit()) {
        const QString reason = WriteFailure(page);
        page.cancelWriting();
        return fail(QStringLiteral("The page \"%1\" could not be saved: %2").arg(path, reason));
    }
    return true;
}

QString ProposedHtmlFileName(const TGenericServer& server)
{
    const auto cleaned = [](const QString& text) {
        static const QString removed = QStringLiteral("\\/:*?\"<>|");
        QString stem;
        for (const QChar c : text) {
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F && !removed.contains(c)) {
                stem += c;
            }
        }
        while (stem.startsWith(QLatin1Char(' '))) {
            stem.remove(0, 1);
        }
        while (stem.endsWith(QLatin1Char(' '))) {
            stem.chop(1);
        }
        return stem;
    };
    QString stem = cleaned(TextOfBytes(server.Name));
    if (stem.isEmpty()) {
        stem = cleaned(server.Info.Host + QLatin1Char('_') + QString::number(server.Info.Port));
    }
    // File systems take names of at most 255 bytes.
    const QString suffix = QStringLiteral(".html");
    while ((stem + suffix).toUtf8().size() > 255) {
        stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
    }
    return stem + suffix;
}
