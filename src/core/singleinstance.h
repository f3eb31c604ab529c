#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One Morvix per settings file. The first program to start with a settings
// file listens on a local socket named after that file's path; a second one
// finds it there, asks it to come to the front and goes. Keyed on the path,
// so that a Morvix started with its own settings (the demo, the tests with
// private folders) never meets the user's own.
//
// Nothing here waits: connecting to a local socket that listens succeeds or
// fails at once, and the few bytes asking for the front fit the socket's
// buffer.
class TSingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit TSingleInstance(const QString& settingsPath, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this program is the one for the settings file: it now listens
    // for later starts. False when another runs: it has been asked to come to
    // the front, and this one should end.
    bool Claim();

    // The socket name for a settings file.
    static QString ServerName(const QString& settingsPath);

signals:
    // A later start asked this program to come to the front.
    void ActivationRequested();

private:
    bool Listen();

    QString Name_;
    QLocalServer* Server_ = nullptr;
};
