#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// The keychain item of this program, looked at and changed from outside the program with secret-tool,
// in the private Secret Service that scripts/with-services starts. Tests that store secrets refuse to
// run anywhere else, so they never touch the keyring of the person running them.
namespace secretService {

inline const QStringList itemAttributes{QStringLiteral("user"), QStringLiteral("syncToken"),
                                        QStringLiteral("server"), QStringLiteral("com.quillfen.Haulwise")};

inline bool isPrivate() {
    return qgetenv("HAULWISE_PRIVATE_BUS") == "1";
}

inline const char *notPrivateMessage() {
    return "This test stores secrets: run it inside the private secret service, as "
           "scripts/with-services ctest -L keychain";
}

struct Result {
    int exitCode = -1;
    QByteArray out;
};

inline Result secretTool(const QStringList &arguments, const QByteArray &input = {}) {
    QProcess process;
    process.start(QStringLiteral("secret-tool"), arguments);
    Result result;
    if (!process.waitForStarted(10000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    return result;
}

// The object paths of the items the store holds for this program's service and account, whatever
// their other attributes. An item replaced in place keeps its path.
inline QList<QByteArray> itemPaths() {
    const Result result =
        secretTool(QStringList{QStringLiteral("search"), QStringLiteral("--all")} + itemAttributes);
    QList<QByteArray> paths;
    for (const QByteArray &line : result.out.split('\n')) {
        if (line.startsWith('['))
            paths.append(line);
    }
    return paths;
}

inline int itemCount() {
    return static_cast<int>(itemPaths().size());
}

// Removes every item of this program's service and account.
inline bool clear() {
    // Its exit status is no help: it also fails when there was nothing to clear.
    secretTool(QStringList{QStringLiteral("clear")} + itemAttributes);
    return itemCount() == 0;
}

// Adds an item as another program might, with the given extra attributes and raw bytes.
inline bool store(const QByteArray &bytes, const QStringList &extraAttributes = {}) {
    return secretTool(QStringList{QStringLiteral("store"), QStringLiteral("--label=outside")} +
                          itemAttributes + extraAttributes,
                      bytes)
               .exitCode == 0;
}

} // namespace secretService
