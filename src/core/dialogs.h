#pragma once

#include <QString>

#include <optional>

struct TColor;

// The message boxes, input box and file dialogs the program shows. Windows
// ask through this interface and never open a dialog themselves, so the real
// dialogs (TQtDialogs) can be replaced by scripted answers in tests.
class TDialogs
{
public:
    virtual ~TDialogs() = default;

    // An information message with an OK button.
    virtual void Information(const QString& title, const QString& text) = 0;
    // A warning message with an OK button.
    virtual void Warning(const QString& title, const QString& text) = 0;
    // An error message with an OK button.
    virtual void Error(const QString& title, const QString& text) = 0;
    // A question with Yes and No; true for Yes. Closing the box answers No.
    virtual bool Question(const QString& title, const QString& text) = 0;
    // A one-line text box; nothing when the user cancels.
    virtual std::optional<QString> InputText(const QString& title, const QString& prompt,
                                             const QString& initial = {}) = 0;
    // The path of an existing file to open, or empty when cancelled. Filter
    // has the form "Description (pattern)".
    virtual QString OpenFileName(const QString& title, const QString& filter,
                                 const QString& initial = {}) = 0;
    // The path of a file to save to, or empty when cancelled.
    virtual QString SaveFileName(const QString& title, const QString& filter,
                                 const QString& initial = {}) = 0;
    // A colour of the user's choice, starting from Initial; nothing when
    // cancelled.
    virtual std::optional<TColor> ChooseColor(const QString& title, const TColor& initial) = 0;
};
