#pragma once

#include <QPointer>
#include <QWidget>

#include "core/dialogs.h"

// The real dialogs: Qt's message boxes, input dialog and file dialogs, shown
// over Parent (or the active window when there is none).
class TQtDialogs : public TDialogs
{
public:
    explicit TQtDialogs(QWidget* parent = nullptr) : Parent_(parent) {}

    void SetParent(QWidget* parent) { Parent_ = parent; }

    void Information(const QString& title, const QString& text) override;
    void Warning(const QString& title, const QString& text) override;
    void Error(const QString& title, const QString& text) override;
    bool Question(const QString& title, const QString& text) override;
    std::optional<QString> InputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    QString OpenFileName(const QString& title, const QString& filter,
                         const QString& initial) override;
    QString SaveFileName(const QString& title, const QString& filter,
                         const QString& initial) override;
    std::optional<TColor> ChooseColor(const QString& title, const TColor& initial) override;

private:
    QWidget* Parent() const;

    QPointer<QWidget> Parent_;
};
