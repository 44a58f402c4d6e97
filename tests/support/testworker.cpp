#include "testworker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <chrono>

using namespace std::chrono_literals;

TestWorker::TestWorker(QString workerFolder, QString token, QString script)
    : m_folder(std::move(workerFolder))
    , m_token(std::move(token))
    , m_script(std::move(script)) {}

TestWorker::~TestWorker() {
    stop();
}

QString TestWorker::unavailableReason() const {
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
        return QStringLiteral("Node.js is not installed; run scripts/setup");
    // Only the Worker runs on the installed packages; the other scripts need Node.js alone.
    if (m_script == workerScript &&
        !QFileInfo(QDir(m_folder).filePath(QStringLiteral("node_modules/miniflare"))).isDir())
        return QStringLiteral(
            "the Worker's packages are not installed (worker/node_modules); run scripts/setup");
    return {};
}

bool TestWorker::start(QString *error, const QStringList &extraArguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HAULWISE_TOKEN"), m_token);
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(m_folder);
    m_process.setStandardErrorFile(m_logFolder.filePath(QStringLiteral("worker.log")));
    m_process.start(QStandardPaths::findExecutable(QStringLiteral("node")),
                    QStringList{m_script} + extraArguments);
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("node did not start: ") + m_process.errorString();
        return false;
    }
    // Miniflare takes a few seconds to boot the runtime, longer on a busy machine.
    const QDeadlineTimer deadline(60s);
    QByteArray output;
    while (!output.contains('\n')) {
        if (m_process.state() != QProcess::Running || deadline.hasExpired()) {
            *error = QStringLiteral("the Worker did not print its address: ") + log();
            return false;
        }
        m_process.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 500)));
        output += m_process.readAllStandardOutput();
    }
    m_url = QUrl(QString::fromUtf8(output.left(output.indexOf('\n'))), QUrl::StrictMode);
    if (!m_url.isValid()) {
        *error = QStringLiteral("the Worker printed no address: ") + QString::fromUtf8(output);
        return false;
    }
    return true;
}

QString TestWorker::log() const {
    QFile file(m_logFolder.filePath(QStringLiteral("worker.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void TestWorker::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
