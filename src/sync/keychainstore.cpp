#include "sync/keychainstore.h"

#include "platform/utf8.h"

#include <QCoroSignal>
#include <qt6keychain/keychain.h>

#include <memory>

namespace syncing {

namespace {

// Jobs are deleted by us, after we have read their outcome, rather than by the library as they finish.
struct JobDeleter {
    void operator()(QKeychain::Job *job) const { job->deleteLater(); }
};
template <class Job> using JobPtr = std::unique_ptr<Job, JobDeleter>;

template <class Job> JobPtr<Job> makeJob(const QString &account) {
    JobPtr<Job> job(new Job(KeychainStore::service));
    job->setAutoDelete(false);
    // The library's fallback would put the secret in a plaintext settings file; a token must never
    // end up there, so a missing secret store stays a failure.
    job->setInsecureFallback(false);
    job->setKey(account);
    return job;
}

// Starts the job and resumes once it has finished. start() only queues the job, so the wait is set up
// before the job can possibly finish.
QCoro::Task<> run(QKeychain::Job *job) {
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
}

QString errorText(const QKeychain::Job &job) {
    return job.errorString().isEmpty() ? QStringLiteral("The secret store did not say what went wrong.")
                                       : job.errorString();
}

} // namespace

QCoro::Task<KeychainStore::ReadResult> KeychainStore::read(QString account) {
    const auto job = makeJob<QKeychain::ReadPasswordJob>(account);
    co_await run(job.get());
    switch (job->error()) {
    case QKeychain::NoError:
        break;
    case QKeychain::EntryNotFound:
        co_return ReadResult{};
    default:
        co_return ReadResult{std::nullopt, errorText(*job)};
    }
    std::optional<QString> value = platform::decodeUtf8(job->binaryData());
    if (!value)
        co_return ReadResult{std::nullopt, QStringLiteral("The stored token is not valid UTF-8 text.")};
    co_return ReadResult{std::move(value), {}};
}

QCoro::Task<QString> KeychainStore::save(QString value, QString account) {
    const auto remove = makeJob<QKeychain::DeletePasswordJob>(account);
    co_await run(remove.get());
    // Nothing to delete is the usual case; any other failure shows again in the write below.

    const auto write = makeJob<QKeychain::WritePasswordJob>(account);
    write->setTextData(value);
    co_await run(write.get());
    if (write->error() != QKeychain::NoError)
        co_return errorText(*write);
    co_return QString();
}

} // namespace syncing
