#include "browser/gameicons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

// One badge per icon index: a rounded square in the game's colour with a
// short white label.
struct TBadge
{
    QRgb Color;
    const char* Label;
};

constexpr std::array<TBadge, 10> kBadges = {{
    {0xFF8A5A2B, "QW"}, // QuakeWorld
    {0xFF5E7A2E, "Q2"}, // Quake 2
    {0xFFB3261E, "Q3"}, // Quake 3
    {0xFFE07800, "HL"}, // Half-Life
    {0xFF2F6DB5, "T1"}, // Tribes
    {0xFF6A3D8F, "KP"}, // Kingpin
    {0xFF00897B, "SN"}, // Sin
    {0xFF8E2450, "H2"}, // Heretic 2
    {0xFF4E5B31, "SF"}, // Soldier of Fortune
    {0xFF1A4F8B, "T2"}, // Tribes 2
}};

void DrawBadge(QPainter& painter, const TBadge& badge, qreal size)
{
    const QRectF box(0.5, 0.5, size - 1.0, size - 1.0);
    const qreal radius = size * 0.2;
    const QColor base = QColor::fromRgb(badge.Color);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, base.lighter(125));
    fill.setColorAt(1.0, base.darker(115));
    painter.setPen(QPen(base.darker(150), size / 16.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, radius, radius);

    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    font.setPixelSize(qRound(size * 0.56));
    font.setLetterSpacing(QFont::AbsoluteSpacing, -size / 32.0);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(box.adjusted(0, 0, 0, -size / 32.0), Qt::AlignCenter,
                     QString::fromLatin1(badge.Label));
}

// A green dot with a white ring in the lower right corner: a buddy plays here.
void DrawBuddyMark(QPainter& painter, qreal size)
{
    const qreal diameter = size * 0.5;
    const QRectF dot(size - diameter, size - diameter, diameter, diameter);
    painter.setPen(QPen(Qt::white, size / 12.0));
    painter.setBrush(QColor(0x2E, 0xB8, 0x3C));
    painter.drawEllipse(dot.adjusted(size / 24.0, size / 24.0, -size / 24.0, -size / 24.0));
}

QIcon MakeIcon(int index)
{
    QIcon icon;
    icon.addPixmap(TGameIcons::Draw(index, 16));
    icon.addPixmap(TGameIcons::Draw(index, 32));
    return icon;
}

} // namespace

QPixmap TGameIcons::Draw(int index, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    if (index < 0 || index >= Count) {
        return pixmap;
    }
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    DrawBadge(painter, kBadges[index % 10], size);
    if (index >= 10) {
        DrawBuddyMark(painter, size);
    }
    return pixmap;
}

const QIcon& TGameIcons::Icon(int index)
{
    static const std::array<QIcon, Count> icons = [] {
        std::array<QIcon, Count> made;
        for (int i = 0; i < Count; ++i) {
            made[i] = MakeIcon(i);
        }
        return made;
    }();
    static const QIcon none;
    return index >= 0 && index < Count ? icons[index] : none;
}

const QIcon& TGameIcons::WindowIcon()
{
    static const QIcon icon = [] {
        QIcon made;
        for (int size : WindowIconSizes) {
            made.addPixmap(DrawWindowIcon(size));
        }
        return made;
    }();
    return icon;
}

QPixmap TGameIcons::DrawWindowIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A radar: a dark disc with rings and a sweep, for finding servers.
    QRadialGradient disc(QPointF(s / 2, s / 2), s / 2);
    disc.setColorAt(0.0, QColor(0x2A, 0x6F, 0xB0));
    disc.setColorAt(1.0, QColor(0x12, 0x35, 0x5C));
    painter.setPen(QPen(QColor(0x0C, 0x24, 0x40), s / 24.0));
    painter.setBrush(disc);
    painter.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
    painter.setPen(QPen(QColor(255, 255, 255, 110), s / 28.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(s / 2, s / 2), s * 0.3, s * 0.3);
    painter.drawEllipse(QPointF(s / 2, s / 2), s * 0.13, s * 0.13);
    QPainterPath sweep;
    sweep.moveTo(s / 2, s / 2);
    sweep.arcTo(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84), 30, 60);
    sweep.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x7C, 0xE0, 0x8A, 170));
    painter.drawPath(sweep);
    painter.setBrush(QColor(0xFF, 0xD5, 0x4F));
    painter.drawEllipse(QPointF(s * 0.68, s * 0.3), s * 0.07, s * 0.07);
    painter.end();
    return pixmap;
}
