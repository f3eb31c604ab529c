#include "browser/statuspresenter.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

TStatusPresenter::TStatusPresenter(QWidget* window) : QObject(window)
{
    sbStatus = new QStatusBar(window);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->setSizeGripEnabled(true);
    auto* caption = new QLabel(QStringLiteral("Morvix status:"), sbStatus);
    caption->setObjectName(QStringLiteral("StatusCaption"));
    caption->setMinimumWidth(75);
    StatusText_ = new QLabel(sbStatus);
    StatusText_->setObjectName(QStringLiteral("StatusText"));
    StatusText_->setTextFormat(Qt::PlainText);
    StatusText_->setMinimumWidth(1);
    sbStatus->addWidget(caption);
    sbStatus->addWidget(StatusText_, 1);

    pbQuery = new QProgressBar(window);
    pbQuery->setObjectName(QStringLiteral("pbQuery"));
    pbQuery->setFixedWidth(150);
    pbQuery->setRange(0, 100);
    pbQuery->setValue(0);
    pbQuery->setTextVisible(false);

    Timer_.setSingleShot(true);
    connect(&Timer_, &QTimer::timeout, this, &TStatusPresenter::Flush);
    LastPaint_.start();
}

void TStatusPresenter::ShowStatus(const QString& text)
{
    Text_ = text;
    TextPending_ = true;
    Present();
}

void TStatusPresenter::SetProgress(int sent, int outstanding)
{
    Sent_ = sent;
    Outstanding_ = outstanding;
    Present();
}

void TStatusPresenter::Present()
{
    if (LastPaint_.elapsed() >= FrameMs) {
        Flush();
    } else if (!Timer_.isActive()) {
        Timer_.start(FrameMs - int(LastPaint_.elapsed()));
    }
}

void TStatusPresenter::Flush()
{
    Timer_.stop();
    LastPaint_.restart();
    // An empty range would turn the bar into a busy indicator; with nothing
    // sent it simply stands empty.
    pbQuery->setRange(0, qMax(1, Sent_));
    pbQuery->setValue(Sent_ - Outstanding_);
    if (TextPending_) {
        TextPending_ = false;
        StatusText_->setText(Text_);
        StatusText_->repaint();
    }
}
