#pragma once

#include "platform/result.h"

#include <QString>

namespace syncing {

// The Worker URL and token as one text, copied on one Mac by "Copy setup for new Mac" and pasted into
// `haulwise-cli setup` on the other: "Haulwise setup", then "Worker URL: " and the URL, then "Bearer
// token: " and the token, with no line break after the last line and both values untrimmed.
struct SetupText {
    QString workerURL;
    QString token;

    QString format() const;

    // A pasted setup text read back. A paste may bring blank lines around it and Windows line ends;
    // neither is part of a value. Fails, saying what was expected, when there is no text, when it is
    // not three lines of that shape, or when the URL is blank (spaces and tabs) or the token empty.
    [[nodiscard]] static platform::Result<SetupText> parse(const QString &text);

    friend bool operator==(const SetupText &, const SetupText &) = default;
};

} // namespace syncing
