#pragma once

#include "sync/secretstore.h"

namespace syncing {

// The secret store of this machine reached through QtKeychain (the Keychain on a Mac, the Secret
// Service elsewhere), holding one generic password per account under the service
// "com.quillfen.Haulwise". There is deliberately no plaintext fallback: when no secret store can be
// reached the operation fails and says why, and the secret is never written anywhere else. The
// library runs its jobs one at a time in the order they were started.
class KeychainStore final : public SecretStore {
public:
    static inline const QString service = QStringLiteral("com.quillfen.Haulwise");

    [[nodiscard]] QCoro::Task<platform::Result<std::optional<QString>>> read(QString account) override;
    [[nodiscard]] QCoro::Task<platform::Result<void>> save(QString value, QString account) override;
};

} // namespace syncing
