#pragma once

#include <QString>
#include <QStringList>

// The template set that comes with the program ("index.html" and
// "define.ini" in the folder "HTML"), and its first copy into a user's
// template folder, where the user may then change it.

// The names of the files of a template set.
QStringList HtmlTemplateFiles();

// Where the program's own copy of File (a name of HtmlTemplateFiles) is
// read from: the set installed with the program when it holds the file,
// otherwise the set built into the program, so a program run from its build
// folder has one too.
QString ShippedHtmlTemplate(const QString& file);

// Gives TemplatesDir (a record's template folder, ending in a separator) the
// program's template set when its folder "HTML" holds no "index.html". Only
// missing files are written: a "define.ini" of the user's stays, and a
// folder that holds an "index.html" is left alone. False, with a message
// for the user in Error, when a file could not be made.
bool InstallHtmlTemplates(const QString& templatesDir, QString* error = nullptr);
