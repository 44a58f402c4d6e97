#pragma once

#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>

#include <QCoroTask>

#include <chrono>
#include <optional>
#include <type_traits>

// Waits for a coroutine as QCoro::waitFor does, but within a deadline: a coroutine that never resumes
// then ends the test run with a message, where it would otherwise hang the suite until ctest's own
// time-out. Some of these awaits are whole online scans run under the sanitizers on a busy two-core
// machine, so the deadline is generous; a hang still fails well before ctest gives up.
namespace waitForTaskDetail {

inline constexpr std::chrono::milliseconds deadline{60000};

template <class T> QCoro::Task<> runInto(QCoro::Task<T> task, std::optional<T> &result, QEventLoop &loop) {
    result.emplace(co_await std::move(task));
    loop.quit();
}

inline QCoro::Task<> runInto(QCoro::Task<> task, std::optional<bool> &result, QEventLoop &loop) {
    co_await std::move(task);
    result = true;
    loop.quit();
}

template <class Result, class Task> Result run(Task task) {
    QEventLoop loop;
    std::optional<Result> result;
    QCoro::Task<> running = runInto(std::move(task), result, loop);
    // A coroutine that finished without suspending has quit the loop before it ran.
    if (!result) {
        QTimer::singleShot(deadline, &loop, [&loop] { loop.exit(1); });
        if (loop.exec() != 0 || !result)
            qFatal("A coroutine did not finish within %lld ms.", static_cast<long long>(deadline.count()));
    }
    return std::move(*result);
}

} // namespace waitForTaskDetail

template <class T> T waitForTask(QCoro::Task<T> task) {
    if constexpr (std::is_void_v<T>)
        waitForTaskDetail::run<bool>(std::move(task));
    else
        return waitForTaskDetail::run<T>(std::move(task));
}
