#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// The real sync Worker, served on 127.0.0.1 under Miniflare by worker/scripts/serve.mjs, for the length
// of a test; or another server script beside it that keeps the same conventions (the sample Mac's
// service). The script prints the base URL as its first line on standard output; the destructor stops
// it with SIGTERM and waits for it to go.
class TestWorker final {
public:
    static inline const QString workerScript = QStringLiteral("scripts/serve.mjs");
    static inline const QString sampleServiceScript = QStringLiteral("scripts/sample-service.mjs");

    // `workerFolder` is the worker/ folder of the source tree; `script` is relative to it.
    TestWorker(QString workerFolder, QString token, QString script = workerScript);
    ~TestWorker();
    Q_DISABLE_COPY_MOVE(TestWorker)

    // Why the Worker cannot be served here at all (Node.js or the installed packages missing); empty
    // when it can.
    QString unavailableReason() const;
    // Starts the server and waits for its address. On failure gives false and says why in `error`,
    // with what the script wrote to standard error.
    bool start(QString *error, const QStringList &extraArguments = {});
    QUrl url() const { return m_url; }
    // What the script has written to standard error so far.
    QString log() const;

private:
    void stop();

    QString m_folder;
    QString m_token;
    QString m_script;
    QProcess m_process;
    QUrl m_url;
    QTemporaryDir m_logFolder; // standard error goes to a file so a chatty server never blocks on it
};

// Starts `worker` for the test function this stands in: skips the test where no Worker can be served
// here at all, and fails it, with the server's own words, when the Worker won't start.
#define HAULWISE_START_WORKER(worker)                                                                        \
    do {                                                                                                     \
        if (const QString reason = (worker).unavailableReason(); !reason.isEmpty())                          \
            QSKIP(qPrintable(QStringLiteral("The Worker can't be served here: ") + reason));                 \
        QString startError;                                                                                  \
        QVERIFY2((worker).start(&startError), qPrintable(startError));                                       \
    } while (false)
