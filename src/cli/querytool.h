#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <memory>

#include "cli/queryoptions.h"
#include "cli/queryrun.h"
#include "masters/masterserver.h"

class QIODevice;
class TMaster;

// morvix-query without its main(): reads the command line, asks a master
// when told to, queries the servers and writes the results to Out and
// messages (and the progress bar) to Err. Everything runs on the event
// loop; Finished carries the exit status.
class TQueryTool : public QObject
{
    Q_OBJECT

public:
    static constexpr int UsageError = 2;
    // A progress bar is drawn for more servers than this, on a terminal.
    static constexpr int ProgressThreshold = 50;

    TQueryTool(QIODevice* out, QIODevice* err, QObject* parent = nullptr);
    ~TQueryTool() override;

    // Input is read for --file - and, when no address is given, when it is
    // not a terminal. Finished always follows from the event loop.
    void Start(const QStringList& arguments, QIODevice* input, bool inputIsTerminal,
               bool errIsTerminal);

signals:
    void Finished(int exitStatus);

private:
    void Fail(int status, const QString& message);
    void AskMaster();
    void MasterServer(const TMasterServer& server);
    void MasterDone(bool answered, const QString& message);
    void Query(const QList<TQueryTarget>& targets);
    void ServerDone(const TServerResult& result);
    void DrawProgress(bool force);
    void End(int status);
    void Write(const QByteArray& text);
    void Message(const QString& text);

    QIODevice* Out_;
    QIODevice* Err_;
    TQueryOptions Options_;
    bool Progress_ = false;
    QElapsedTimer LastDraw_;
    std::unique_ptr<TQueryRun> Run_;

    // The master's answer: servers in the order listed, without repeats.
    TMaster* Master_ = nullptr;
    QList<TMasterServer> Listed_;
    QSet<QString> Seen_;
    QTimer Quiet_;
    int MasterAttempts_ = 0;
    bool ListEnds_ = false; // the master raises the end of its list
    bool Ended_ = false;
};
