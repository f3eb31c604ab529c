#pragma once

#include <QIcon>
#include <QPixmap>

// The row icons of the server list, drawn by the program itself: one badge
// per game at its icon index 0 to 9, and the same badge marked with a buddy
// dot at the index plus 10. Each icon holds a 16 and a 32 pixel image, so
// it stays crisp on screens that scale.
class TGameIcons
{
public:
    static constexpr int Count = 20;

    // The icon at Index, or a null icon for an index outside 0 to 19.
    static const QIcon& Icon(int index);
    // The program's own window icon, at every size of WindowIconSizes.
    static const QIcon& WindowIcon();
    // The same drawing at Size by Size pixels; the installed icon files are
    // made from it.
    static QPixmap DrawWindowIcon(int size);
    static constexpr int WindowIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

    // Draws the icon at Index in a Size by Size image.
    static QPixmap Draw(int index, int size);
};
