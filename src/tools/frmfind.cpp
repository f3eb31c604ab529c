#include "tools/frmfind.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "browser/serverbrowser.h"
#include "core/addfind.h"
#include "core/dialogs.h"

TfrmFind::TfrmFind(TServerBrowser& list, TDialogs& dialogs)
    : QWidget(list.BrowserWidget(), Qt::Tool), List_(list), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find server"));

    editFind = new QLineEdit(this);
    editFind->setObjectName(QStringLiteral("editFind"));
    editFind->setMinimumWidth(240);
    auto* keyword = new QLabel(QStringLiteral("Keyword"), this);
    keyword->setBuddy(editFind);

    const auto button = [this](const char* name, const QString& text, const QString& hint) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(QLatin1String(name));
        made->setToolTip(hint);
        return made;
    };
    sbFind =
        button("sbFind", QStringLiteral("&Find"),
               QStringLiteral("This will find the first matching server, starting from the top"));
    sbFindNext = button("sbFindNext", QStringLiteral("Find Next"),
                        QStringLiteral("This will continue searching down the list."));
    sbAbort = button("sbAbort", QStringLiteral("&Cancel"), QStringLiteral("Cancel"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(keyword, 0, 0);
    layout->addWidget(editFind, 0, 1, 1, 3);
    layout->addWidget(sbFind, 1, 1);
    layout->addWidget(sbFindNext, 1, 2);
    layout->addWidget(sbAbort, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(sbFind, &QPushButton::clicked, this, &TfrmFind::Find);
    connect(editFind, &QLineEdit::returnPressed, this, &TfrmFind::Find);
    connect(sbFindNext, &QPushButton::clicked, this, &TfrmFind::FindNext);
    connect(sbAbort, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmFind::Open()
{
    show();
    raise();
    activateWindow();
    editFind->setFocus();
}

void TfrmFind::Find()
{
    NextStartRow_ = 0;
    Search();
}

void TfrmFind::FindNext()
{
    Search();
}

void TfrmFind::Search()
{
    const int row = FindServerRow(NextStartRow_, List_.ServerCount(), editFind->text(),
                                  [this](int at) { return List_.Server(at); });
    if (row < 0) {
        Dialogs_.Information(QStringLiteral("Morvix"), QStringLiteral("No server(s) found!"));
        return;
    }
    NextStartRow_ = row + 1;
    close();
    List_.BrowserWidget()->activateWindow();
    List_.SelectServer(row);
}

void TfrmFind::keyPressEvent(QKeyEvent* event)
{
    // Escape anywhere in the window, as in a dialog; the boxes pass it on.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
