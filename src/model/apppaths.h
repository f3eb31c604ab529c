#pragma once

#include <QString>

// Where the program finds the files it keeps: the folder of its executable
// and the user's own data and configuration folders. Tests point all of them
// at a temporary folder with SetRoot, so the whole program runs there.
class TAppPaths
{
public:
    // The folder of the executable, without a trailing separator.
    static QString ProgramDir();
    // The user's data folder for Morvix (XDG data home), created on demand.
    static QString DataDir();
    // The user's configuration folder for Morvix (XDG config home).
    static QString ConfigDir();

    // The folder of the HTML templates, with a trailing separator: "Templates"
    // beside the program, or in the data folder when the program's folder
    // cannot be written (an installed program) and holds no template set.
    static QString TemplatesDir();
    // The "Templates" folder installed with the program (in the shared data
    // folder of its installation prefix), with a trailing separator. It is
    // the source of a user's first template set and need not exist.
    static QString SharedTemplatesDir();

    // Puts the program, data and configuration folders below Root; an empty
    // Root returns to the real locations.
    static void SetRoot(const QString& root);

private:
    static QString Root_;
};
