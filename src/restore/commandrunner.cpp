#include "restore/commandrunner.h"

#include "platform/processrunner.h"
#include "platform/utf8.h"
#include "tools/brew.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace restore {

QString runCommand(const QString &executable, const QStringList &arguments,
                   const platform::ProcessLimits &limits) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : tools::brew::quietEnvironment)
        environment.insert(name, QStringLiteral("1"));
    const platform::ProcessOutput result = platform::ProcessRunner::run(
        executable, arguments, platform::ProcessRunner::ErrorOutput::merge, limits, environment);
    if (!result.started())
        return QCoreApplication::translate("restore::commandrunner", "Couldn't run %1: %2")
            .arg(QFileInfo(executable).fileName(), result.error);
    if (result.end == platform::ProcessOutput::End::stopped)
        return result.error;
    return platform::decodeUtf8(result.output, platform::Bom::keep).value_or(QString());
}

} // namespace restore
