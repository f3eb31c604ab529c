#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

// Watches the paint events a widget receives: how many, and when the last
// came, in ms on the probe's own clock (Now), which tests use to order
// what they see.
class TPaintProbe : public QObject
{
public:
    explicit TPaintProbe(QObject* widget)
    {
        Clock_.start();
        widget->installEventFilter(this);
    }

    qint64 Now() const { return Clock_.elapsed(); }
    int Count() const { return Count_; }
    // -1 before the first paint.
    qint64 LastMs() const { return Last_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++Count_;
            Last_ = Clock_.elapsed();
        }
        return false;
    }

private:
    QElapsedTimer Clock_;
    int Count_ = 0;
    qint64 Last_ = -1;
};
