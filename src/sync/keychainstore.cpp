#include "sync/keychainstore.h"

#include "platform/utf8.h"

#include <QScopedPointer>

#include <QCoroSignal>
#include <qt6keychain/keychain.h>

namespace syncing {

namespace {

// Jobs are deleted by us, after we have read their outcome, rather than by the library as they finish.
template <class Job> using JobPointer = QScopedPointer<Job, QScopedPointerDeleteLater>;

template <class Job> Job *makeJob(const QString &account) {
    Job *job = new Job(KeychainStore::service);
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

platform::Failure failureOf(const QKeychain::Job &job) {
    return platform::fail(job.errorString().isEmpty()
                              ? QStringLiteral("The secret store did not say what went wrong.")
                              : job.errorString());
}

} // namespace

QCoro::Task<platform::Result<std::optional<QString>>> KeychainStore::read(QString account) {
    const JobPointer<QKeychain::ReadPasswordJob> job(makeJob<QKeychain::ReadPasswordJob>(account));
    co_await run(job.get());
    switch (job->error()) {
    case QKeychain::NoError:
        break;
    case QKeychain::EntryNotFound:
        co_return std::optional<QString>();
    default:
        co_return failureOf(*job);
    }
    platform::Result<QString> value = platform::decodeUtf8(job->binaryData());
    if (!value)
        co_return platform::fail(QStringLiteral("The stored token is not valid UTF-8 text."));
    co_return std::optional<QString>(std::move(value).value());
}

QCoro::Task<platform::Result<void>> KeychainStore::save(QString value, QString account) {
    // The write replaces the item in place. Deleting first would lose the stored token whenever the
    // write is then refused (a locked or full store), leaving the next launch with none.
    const JobPointer<QKeychain::WritePasswordJob> write(makeJob<QKeychain::WritePasswordJob>(account));
    write->setTextData(value);
    co_await run(write.get());
    if (write->error() != QKeychain::NoError)
        co_return failureOf(*write);
    co_return platform::Result<void>();
}

std::unique_ptr<SecretStore> makeSecretStore() {
    return std::make_unique<KeychainStore>();
}

} // namespace syncing
