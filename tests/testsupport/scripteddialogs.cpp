#include "scripteddialogs.h"

void TScriptedDialogs::Information(const QString& title, const QString& text)
{
    Shown_.append({TKind::Information, title, text});
}

void TScriptedDialogs::Warning(const QString& title, const QString& text)
{
    Shown_.append({TKind::Warning, title, text});
}

void TScriptedDialogs::Error(const QString& title, const QString& text)
{
    Shown_.append({TKind::Error, title, text});
}

bool TScriptedDialogs::Question(const QString& title, const QString& text)
{
    Shown_.append({TKind::Question, title, text});
    if (Questions_.isEmpty()) {
        ++Unanswered_;
        return false;
    }
    return Questions_.dequeue();
}

std::optional<QString> TScriptedDialogs::InputText(const QString& title, const QString& prompt,
                                                   const QString&)
{
    Shown_.append({TKind::InputText, title, prompt});
    if (Texts_.isEmpty()) {
        ++Unanswered_;
        return std::nullopt;
    }
    return Texts_.dequeue();
}

QString TScriptedDialogs::NextFileName()
{
    if (FileNames_.isEmpty()) {
        ++Unanswered_;
        return {};
    }
    return FileNames_.dequeue();
}

QString TScriptedDialogs::OpenFileName(const QString& title, const QString& filter, const QString&)
{
    Shown_.append({TKind::OpenFileName, title, filter});
    return NextFileName();
}

QString TScriptedDialogs::SaveFileName(const QString& title, const QString& filter, const QString&)
{
    Shown_.append({TKind::SaveFileName, title, filter});
    return NextFileName();
}
