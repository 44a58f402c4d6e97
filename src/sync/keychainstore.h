#pragma once

#include <QString>

#include <QCoroTask>

#include <optional>

namespace syncing {

// The secret store of this machine (the Keychain on a Mac, the Secret Service elsewhere), holding one
// generic password per account under the service "com.quillfen.Haulwise". Values are text, stored as
// their UTF-8 bytes. There is deliberately no plaintext fallback: when no secret store can be reached
// the operation fails and says why, and the secret is never written anywhere else.
//
// Both operations are asynchronous because the secret store answers over IPC; they suspend the calling
// coroutine and keep its event loop running. The keychain library runs its jobs one at a time in the
// order they were started, so a read started before a save sees the value from before that save.
class KeychainStore final {
public:
    static inline const QString service = QStringLiteral("com.quillfen.Haulwise");

    struct ReadResult {
        // Absent when there is no item, when its bytes are not valid UTF-8, or on any failure.
        std::optional<QString> value;
        // Why the store could not be read; empty when it answered (also when it holds no item).
        QString error;

        friend bool operator==(const ReadResult &, const ReadResult &) = default;
    };

    static QCoro::Task<ReadResult> read(QString account);
    // Deletes every item of this service and account, then adds one holding `value` (an empty value
    // is stored as zero bytes). Gives the store's error text, empty when the value was stored.
    static QCoro::Task<QString> save(QString value, QString account);
};

} // namespace syncing
