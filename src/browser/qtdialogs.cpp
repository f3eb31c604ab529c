#include "browser/qtdialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

#include "core/settings.h"

namespace {

// A message that breaks its own lines keeps them as they are: the box grows
// to its longest line instead of wrapping each line once more.
void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label && text.contains(QLatin1Char('\n'))) {
        // Qt wraps every message at a fixed width; a label at least as wide
        // as the longest line wraps none of them, up to a width that still
        // fits a small screen.
        int longest = 0;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            longest = qMax(longest, label->fontMetrics().horizontalAdvance(line.trimmed()));
        }
        label->setMinimumWidth(qMin(longest + 2 * label->margin() + 4, 900));
    }
    box.exec();
}

} // namespace

QWidget* TQtDialogs::Parent() const
{
    return Parent_ ? Parent_.data() : QApplication::activeWindow();
}

void TQtDialogs::Information(const QString& title, const QString& text)
{
    ShowMessage(Parent(), QMessageBox::Information, title, text);
}

void TQtDialogs::Warning(const QString& title, const QString& text)
{
    ShowMessage(Parent(), QMessageBox::Warning, title, text);
}

void TQtDialogs::Error(const QString& title, const QString& text)
{
    ShowMessage(Parent(), QMessageBox::Critical, title, text);
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
