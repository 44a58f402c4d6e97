#pragma once

#include <QString>

#include <type_traits>
#include <utility>
#include <variant>

namespace platform {

// Why something failed, in the words the user is shown.
struct Failure {
    QString message;

    QString description() const { return message; }
    friend bool operator==(const Failure &, const Failure &) = default;
};

// The one shape of every fallible operation: its value, or the failure that took its place. The
// failure type names the cases a caller may tell apart (the sync client's, say); all of them give the
// user-facing line through description().
template <class T, class E = Failure> class [[nodiscard]] Result {
public:
    // A default value, as std::expected has: QCoro::waitFor makes its result before assigning it.
    Result() requires std::is_default_constructible_v<T> : m_state(std::in_place_index<0>) {}
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E failure)
        : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }

    // The value, or `fallback` where the failure needs no telling (an empty list, say).
    template <class U> T value_or(U &&fallback) const & {
        return ok() ? value() : static_cast<T>(std::forward<U>(fallback));
    }
    template <class U> T value_or(U &&fallback) && {
        return ok() ? std::move(*this).value() : static_cast<T>(std::forward<U>(fallback));
    }

    const E &failure() const { return std::get<1>(m_state); }
    QString message() const { return ok() ? QString() : failure().description(); }

    friend bool operator==(const Result &, const Result &) = default;

private:
    std::variant<T, E> m_state;
};

// Success that carries nothing.
template <class E> class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(E failure)
        : m_failure(std::move(failure))
        , m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const E &failure() const { return m_failure; }
    QString message() const { return ok() ? QString() : m_failure.description(); }

    friend bool operator==(const Result &, const Result &) = default;

private:
    E m_failure{};
    bool m_failed = false;
};

// Shorthand for the common case of a failure that is only its message.
inline Failure fail(QString message) {
    return Failure{std::move(message)};
}

} // namespace platform
