#pragma once

#include <QList>
#include <QQueue>
#include <QString>

#include "core/dialogs.h"
#include "core/settings.h"

// Dialogs for tests: answers are queued beforehand and every dialog asked
// for is recorded, so no test ever waits on a modal window. A question
// without a queued answer is answered No, a text or file dialog as
// cancelled; Unanswered counts them so a test can fail on a surprise dialog.
class TScriptedDialogs : public TDialogs
{
public:
    enum class TKind
    {
        Information,
        Warning,
        Error,
        Question,
        InputText,
        OpenFileName,
        SaveFileName,
        ChooseColor,
    };

    struct TShown
    {
        TKind Kind;
        QString Title;
        QString Text;    // the message, prompt or file filter
        QString Initial; // the text box's or file dialog's initial text or path
    };

    void AnswerQuestion(bool yes) { Questions_.enqueue(yes); }
    void AnswerText(const std::optional<QString>& text) { Texts_.enqueue(text); }
    void AnswerFileName(const QString& path) { FileNames_.enqueue(path); }
    void AnswerColor(const std::optional<TColor>& color) { Colors_.enqueue(color); }

    const QList<TShown>& Shown() const { return Shown_; }
    int Unanswered() const { return Unanswered_; }

    void Information(const QString& title, const QString& text) override
    {
        Shown_.append({TKind::Information, title, text, QString()});
    }
    void Warning(const QString& title, const QString& text) override
    {
        Shown_.append({TKind::Warning, title, text, QString()});
    }
    void Error(const QString& title, const QString& text) override
    {
        Shown_.append({TKind::Error, title, text, QString()});
    }
    bool Question(const QString& title, const QString& text) override
    {
        Shown_.append({TKind::Question, title, text, QString()});
        return Next(Questions_, false);
    }
    std::optional<QString> InputText(const QString& title, const QString& prompt,
                                     const QString& initial) override
    {
        Shown_.append({TKind::InputText, title, prompt, initial});
        return Next(Texts_, std::optional<QString>());
    }
    QString OpenFileName(const QString& title, const QString& filter,
                         const QString& initial) override
    {
        Shown_.append({TKind::OpenFileName, title, filter, initial});
        return Next(FileNames_, QString());
    }
    QString SaveFileName(const QString& title, const QString& filter,
                         const QString& initial) override
    {
        Shown_.append({TKind::SaveFileName, title, filter, initial});
        return Next(FileNames_, QString());
    }
    std::optional<TColor> ChooseColor(const QString& title, const TColor&) override
    {
        Shown_.append({TKind::ChooseColor, title, QString(), QString()});
        return Next(Colors_, std::optional<TColor>());
    }

private:
    template <typename T> T Next(QQueue<T>& answers, const T& none)
    {
        if (answers.isEmpty()) {
            ++Unanswered_;
            return none;
        }
        return answers.dequeue();
    }

    QQueue<bool> Questions_;
    QQueue<std::optional<QString>> Texts_;
    QQueue<QString> FileNames_;
    QQueue<std::optional<TColor>> Colors_;
    QList<TShown> Shown_;
    int Unanswered_ = 0;
};
