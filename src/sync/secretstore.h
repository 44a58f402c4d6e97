#pragma once

#include "platform/result.h"

#include <QString>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace syncing {

// Where secrets are kept: one text value per account, stored as its UTF-8 bytes. The program uses the
// secret store of the machine; tests hand in one kept in memory, so that only the tests about that
// store itself need a running one.
//
// Both operations are asynchronous because a real store answers over IPC; they suspend the calling
// coroutine and keep its event loop running. Operations take effect in the order they were started,
// so a read started before a save sees the value from before that save.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    // The stored text, absent when the store holds no item for the account. Fails when the store could
    // not be read or the item's bytes are not UTF-8 text.
    [[nodiscard]] virtual QCoro::Task<platform::Result<std::optional<QString>>> read(QString account) = 0;
    // Stores `value` for the account, replacing its earlier value in place (an empty value is stored as
    // zero bytes). A refused write leaves the earlier value as it was. Fails with the store's own words
    // when the value was not stored.
    [[nodiscard]] virtual QCoro::Task<platform::Result<void>> save(QString value, QString account) = 0;
};

// The secret store of the platform this program was built for; each platform's store file defines it.
std::unique_ptr<SecretStore> makeSecretStore();

} // namespace syncing
