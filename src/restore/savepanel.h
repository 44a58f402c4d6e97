#pragma once

#include <QString>

#include <optional>

namespace restore {

// Asks the user where to save a file. Nothing when they cancel.
class SavePanel {
public:
    virtual ~SavePanel() = default;
    virtual std::optional<QString> askForPath(const QString &title, const QString &proposedName) = 0;
};

} // namespace restore
