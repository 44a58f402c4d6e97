#pragma once

#include "platform/result.h"

#include <QHash>
#include <QString>

#include <optional>

namespace syncing {

using LinkMap = QHash<QString, QString>;

// Download links the user recorded for applications that have no installer, kept in the user defaults
// of this Mac under "manualDownloadURLs". The scan reads them back into each application's
// downloadURL, which is how a link typed once travels with the next export. Holds nothing in memory.
class ManualURLStore {
public:
    static inline const QString defaultsKey = QStringLiteral("manualDownloadURLs");

    // The bundle identifier when there is one (even an empty one), else "name:" and the name.
    static QString linkKey(const std::optional<QString> &bundleId, const QString &name);

    // Every stored link; fails when the stored value is not a dictionary of texts (written by some
    // other program or version), and says so in the log too.
    [[nodiscard]] static platform::Result<LinkMap> readURLs();
    // Every stored link; empty when they cannot be read.
    static LinkMap allURLs();
    static std::optional<QString> url(const std::optional<QString> &bundleId, const QString &name);
    // Stores the link trimmed; an absent or blank link removes the entry. When the stored links cannot
    // all be read, nothing is written (the store is left exactly as it was) and the failure says why.
    [[nodiscard]] static platform::Result<void>
    setURL(const std::optional<QString> &link, const std::optional<QString> &bundleId, const QString &name);
};

} // namespace syncing
