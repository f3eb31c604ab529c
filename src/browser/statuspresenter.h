#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QLabel;
class QProgressBar;
class QStatusBar;
class QWidget;

// The main window's status bar sbStatus ("Morvix status:" and the current
// message) and the query progress bar pbQuery. A text or a step of the bar
// paints at once (by a repaint, never by running the event loop), or, when
// the last paint is less than one 20 ms frame old, at the end of that frame:
// a round brings thousands of texts and steps, and painting them more often
// than a screen refreshes shows nothing more.
class TStatusPresenter : public QObject
{
    Q_OBJECT

public:
    explicit TStatusPresenter(QWidget* window);

    QStatusBar* StatusBar() const { return sbStatus; }
    QProgressBar* ProgressBar() const { return pbQuery; }

    void ShowStatus(const QString& text);
    // The text shown, or about to be shown.
    const QString& Text() const { return Text_; }
    // The bar's maximum becomes Sent and its position Sent - Outstanding.
    void SetProgress(int sent, int outstanding);
    // Paints what waits for the end of the frame now.
    void Flush();

    static constexpr int FrameMs = 20;

private:
    void Present();

    QStatusBar* sbStatus = nullptr;
    QLabel* StatusText_ = nullptr;
    QProgressBar* pbQuery = nullptr;
    QString Text_;
    bool TextPending_ = false;
    int Sent_ = 0;
    int Outstanding_ = 0;
    QTimer Timer_;
    QElapsedTimer LastPaint_;
};
