#pragma once

#include "sync/secretstore.h"

#include <QHash>

#include <QCoroTimer>

#include <chrono>
#include <memory>
#include <optional>

// A secret store that keeps its items in memory, for tests that are not about the machine's store. Like
// the real one it answers on a later turn of the event loop, and each operation takes effect when it
// is started, so operations land in the order they were started.
class MemorySecretStore final : public syncing::SecretStore {
public:
    // While held, operations still take effect as they start but answer only after release(): a
    // store that is slow to answer, as a keychain waiting to be unlocked is.
    void hold() { *m_held = true; }
    void release() { *m_held = false; }

    QCoro::Task<platform::Result<std::optional<QString>>> read(QString account) override {
        const std::optional<QString> value =
            m_items.contains(account) ? std::optional<QString>(m_items.value(account)) : std::nullopt;
        co_await answerLater(m_held);
        co_return value;
    }

    QCoro::Task<platform::Result<void>> save(QString value, QString account) override {
        m_items.insert(account, value);
        co_await answerLater(m_held);
        co_return platform::Result<void>();
    }

private:
    static QCoro::Task<> answerLater(std::shared_ptr<const bool> held) {
        do
            co_await QCoro::sleepFor(std::chrono::milliseconds(*held ? 10 : 0));
        while (*held);
    }

    QHash<QString, QString> m_items;
    std::shared_ptr<bool> m_held = std::make_shared<bool>(false);
};
