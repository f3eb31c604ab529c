#pragma once

#include <QTemporaryDir>

#include "model/apppaths.h"

// Puts every folder the program uses (program, data, configuration) below a
// fresh temporary folder for as long as it lives.
class TTempAppFolder
{
public:
    TTempAppFolder() { TAppPaths::SetRoot(Dir_.path()); }
    ~TTempAppFolder() { TAppPaths::SetRoot({}); }
    TTempAppFolder(const TTempAppFolder&) = delete;
    TTempAppFolder& operator=(const TTempAppFolder&) = delete;

    QString Path() const { return Dir_.path(); }

private:
    QTemporaryDir Dir_;
};
