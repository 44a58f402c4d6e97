#pragma once

#include "platform/result.h"

#include <exception>
#include <type_traits>

namespace platform {

// Runs `work` and gives its value, or a failure in place of an exception it threw. Meant for work
// handed to the thread pool: an exception there would travel into whichever coroutine awaits the
// result, and one that nobody catches leaves its caller waiting for an answer that never comes.
template <class Work> auto catchingFailures(Work &&work) -> Result<std::invoke_result_t<Work>> {
    try {
        return work();
    } catch (const std::exception &error) {
        return fail(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return fail(QStringLiteral("an unknown error"));
    }
}

} // namespace platform
