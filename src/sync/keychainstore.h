#pragma once

#include "platform/result.h"

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

    // The stored text, absent when the store holds no item for the account. Fails when the store could
    // not be read or the item's bytes are not UTF-8 text.
    [[nodiscard]] static QCoro::Task<platform::Result<std::optional<QString>>> read(QString account);
    // Stores `value` in the item of this service and account, replacing its earlier value in place (an
    // empty value is stored as zero bytes). Nothing is deleted first, so a refused write leaves the
    // earlier value as it was. Fails with the store's own words when the value was not stored.
    [[nodiscard]] static QCoro::Task<platform::Result<void>> save(QString value, QString account);
};

} // namespace syncing
