#include "browser/qtdialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "core/settings.h"

QWidget* TQtDialogs::Parent() const
{
    return Parent_ ? Parent_.data() : QApplication::activeWindow();
}

void TQtDialogs::Information(const QString& title, const QString& text)
{
    QMessageBox::information(Parent(), title, text);
}

void TQtDialogs::Warning(const QString& title, const QString& text)
{
    QMessageBox::warning(Parent(), title, text);
}

void TQtDialogs::Error(const QString& title, const QString& text)
{
    QMessageBox::critical(Parent(), title, text);
}

bool TQtDialogs::Question(const QString& title, const QString& text)
{
    return QMessageBox::question(Parent(), title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> TQtDialogs::InputText(const QString& title, const QString& prompt,
                                             const QString& initial)
{
    bool accepted = false;
    const QString text =
        QInputDialog::getText(Parent(), title, prompt, QLineEdit::Normal, initial, &accepted);
    if (!accepted) {
        return std::nullopt;
    }
    return text;
}

QString TQtDialogs::OpenFileName(const QString& title, const QString& filter,
                                 const QString& initial)
{
    return QFileDialog::getOpenFileName(Parent(), title, initial, filter);
}

QString TQtDialogs::SaveFileName(const QString& title, const QString& filter,
                                 const QString& initial)
{
    return QFileDialog::getSaveFileName(Parent(), title, initial, filter);
}

std::optional<TColor> TQtDialogs::ChooseColor(const QString& title, const TColor& initial)
{
    const QColor chosen = QColorDialog::getColor(
        QColor(initial.Red(), initial.Green(), initial.Blue()), Parent(), title);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return TColor::FromRgb(chosen.red(), chosen.green(), chosen.blue());
}
