// haulwise-samplemac DESCRIPTION FOLDER: builds the Mac that DESCRIPTION describes (see
// scripts/sample-mac.d/sample-mac.mac) into the empty FOLDER, and prints its name and system version
// ("sample-mac.local (macOS 15.1)"). scripts/sample-mac runs it; it is not meant to be run by hand.
//
// Besides the Mac's own files it writes /.haulwise-sample-mac, the facts the stand-in tools read (one
// tab-separated line each, its kind first): what Spotlight knows about each bundle, where the login
// items and the background-item dump are kept, each keg's tap and dependencies, the disabled casks.

#include "macwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <functional>

using platform::fail;
using platform::Result;

namespace {

const QString factsPath = QStringLiteral("/.haulwise-sample-mac");

struct Line {
    int number = 0;
    QStringList words;
};

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Splits the description into lines of words, as the shell would (see the description's head).
// Words are UTF-8 but for \xHH, which stands for one byte: file contents may be binary, so a word's
// bytes are kept in a QString of Latin-1 code points until the caller says what it is.
Result<QList<Line>> readLines(const QByteArray &text) {
    QList<Line> lines;
    Line line{1, {}};
    int number = 1;
    QByteArray word;
    bool inWord = false;
    const auto endWord = [&] {
        if (inWord)
            line.words.append(QString::fromLatin1(word));
        word.clear();
        inWord = false;
    };
    const auto endLine = [&] {
        endWord();
        if (!line.words.isEmpty())
            lines.append(line);
        line = Line{number, {}};
    };
    const auto where = [&] { return QStringLiteral("line %1: ").arg(number); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++number;
            endLine();
        } else if (c == ' ' || c == '\t' || c == '\r') {
            endWord();
        } else if (c == '#' && !inWord) {
            while (i + 1 < text.size() && text[i + 1] != '\n')
                ++i;
        } else if (c == '\\') {
            if (++i == text.size())
                return fail(where() + QStringLiteral("a \\ ends the file"));
            if (text[i] == '\n') {
                ++number;
                endWord();
            } else {
                word += text[i];
                inWord = true;
            }
        } else if (c == '"') {
            inWord = true;
            const int opened = number;
            for (++i;; ++i) {
                if (i >= text.size())
                    return fail(QStringLiteral("line %1: a \" is never closed").arg(opened));
                const char q = text[i];
                if (q == '"')
                    break;
                if (q == '\n')
                    ++number;
                if (q != '\\' || i + 1 >= text.size()) {
                    word += q;
                    continue;
                }
                const char e = text[++i];
                if (e == 'n') {
                    word += '\n';
                } else if (e == 't') {
                    word += '\t';
                } else if (e == '"' || e == '\\') {
                    word += e;
                } else if (e == 'x' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                           hexValue(text[i + 2]) >= 0) {
                    word += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
                    i += 2;
                } else {
                    return fail(where() + QStringLiteral("unknown escape \\%1").arg(QChar::fromLatin1(e)));
                }
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    endLine();
    return lines;
}

QString utf8(const QString &latin1Word) {
    return QString::fromUtf8(latin1Word.toLatin1());
}

// Sets KEY[:TYPE]=VALUE into `into`: KEY is a path through dictionaries ("System/Network/Name"),
// and KEY[] appends to an array.
Result<void> setValue(QVariantMap &into, const QString &assignment) {
    const qsizetype equals = assignment.indexOf(u'=');
    if (equals <= 0)
        return fail(QStringLiteral("\"%1\" is not KEY=VALUE").arg(assignment));
    QString key = assignment.left(equals);
    const QString text = assignment.mid(equals + 1);
    QString type = QStringLiteral("string");
    if (const qsizetype colon = key.lastIndexOf(u':'); colon > 0) {
        type = key.mid(colon + 1);
        key.truncate(colon);
    }
    QVariant value;
    bool ok = true;
    if (type == u"string")
        value = text;
    else if (type == u"integer")
        value = text.toLongLong(&ok);
    else if (type == u"real")
        value = text.toDouble(&ok);
    else if (type == u"bool") {
        ok = text == u"true" || text == u"false";
        value = text == u"true";
    } else if (type == u"null")
        ok = text.isEmpty();
    else
        return fail(QStringLiteral("\"%1\": unknown type %2").arg(assignment, type));
    if (!ok)
        return fail(QStringLiteral("\"%1\": not a value of type %2").arg(assignment, type));

    const bool append = key.endsWith(QStringLiteral("[]"));
    if (append)
        key.chop(2);
    const QStringList path = key.split(u'/');
    if (path.contains(QString()))
        return fail(QStringLiteral("\"%1\": an empty key").arg(assignment));
    const std::function<Result<void>(QVariantMap &, qsizetype)> set = [&](QVariantMap &map,
                                                                          qsizetype depth) -> Result<void> {
        const QString &name = path[depth];
        if (depth + 1 < path.size()) {
            if (map.contains(name) && map[name].typeId() != QMetaType::QVariantMap)
                return fail(QStringLiteral("\"%1\": %2 is not a dictionary").arg(assignment, name));
            QVariantMap inner = map.value(name).toMap();
            if (auto done = set(inner, depth + 1); !done)
                return done;
            map[name] = inner;
        } else if (append) {
            if (map.contains(name) && map[name].typeId() != QMetaType::QVariantList)
                return fail(QStringLiteral("\"%1\": %2 is not an array").arg(assignment, name));
            QVariantList list = map.value(name).toList();
            list.append(value);
            map[name] = list;
        } else {
            map[name] = value;
        }
        return {};
    };
    return set(into, 0);
}

class Builder {
public:
    Builder(const QString &root, const QString &sources)
        : m_writer(root)
        , m_sources(sources) {}

    Result<void> apply(const Line &line) {
        struct Kind {
            const char *name;
            qsizetype minWords;
            qsizetype maxWords; // -1: any number
            Result<void> (Builder::*make)(const QStringList &);
        };
        static const Kind kinds[] = {
            {"home", 1, 1, &Builder::home},
            {"folder", 1, -1, &Builder::folder},
            {"file", 2, 2, &Builder::file},
            {"copy", 2, 2, &Builder::copy},
            {"link", 2, 2, &Builder::link},
            {"plist", 1, -1, &Builder::plist},
            {"json", 1, -1, &Builder::json},
            {"app", 5, -1, &Builder::app},
            {"login-item", 2, 2, &Builder::loginItem},
            {"background-items", 2, 2, &Builder::backgroundItems},
            {"homebrew", 2, 2, &Builder::homebrew},
            {"formula", 4, -1, &Builder::formula},
            {"cask", 2, 2, &Builder::cask},
            {"tap", 1, 1, &Builder::tap},
            {"cask-catalogue", 2, 2, &Builder::caskCatalogue},
            {"tool", 2, 2, &Builder::tool},
            {"fact", 1, -1, &Builder::fact},
        };
        const QString verb = line.words.constFirst();
        QStringList arguments;
        for (qsizetype i = 1; i < line.words.size(); ++i)
            arguments.append(verb == u"file" && i == 2 ? line.words[i] : utf8(line.words[i]));
        for (const Kind &kind : kinds) {
            if (verb != QLatin1String(kind.name))
                continue;
            if (arguments.size() < kind.minWords || (kind.maxWords >= 0 && arguments.size() > kind.maxWords))
                return fail(
                    QStringLiteral("%1 takes %2 words, not %3")
                        .arg(verb, kind.minWords == kind.maxWords ? QString::number(kind.minWords)
                                   : kind.maxWords < 0
                                       ? QStringLiteral("%1 or more").arg(kind.minWords)
                                       : QStringLiteral("%1 to %2").arg(kind.minWords).arg(kind.maxWords))
                        .arg(arguments.size()));
            for (const QString &argument : arguments) {
                if (verb != u"file" && (argument.contains(u'\t') || argument.contains(u'\n')))
                    return fail(QStringLiteral("%1: a word holds a tab or a line break").arg(verb));
            }
            return (this->*kind.make)(arguments);
        }
        return fail(QStringLiteral("unknown kind of line \"%1\"").arg(verb));
    }

    // What is only known at the end: the login items and the facts.
    Result<void> finish() {
        if (!m_home.isEmpty()) {
            const QString items =
                m_home +
                QStringLiteral("/Library/Application Support/com.apple.backgroundtaskmanagementagent/"
                               "login-items");
            if (auto written = m_writer.writeFile(items, m_loginItems.toUtf8()); !written)
                return written;
            addFact({QStringLiteral("login-items"), items});
        }
        const QByteArray head =
            "# What this sample Mac's stand-in tools know about it, a line each: its kind,\n"
            "# then its values, separated by tabs. Written by haulwise-samplemac.\n";
        return m_writer.writeFile(factsPath, head + m_facts.toUtf8());
    }

    // "sample-mac.local (macOS 15.1)", from what the property lists say.
    QString summary() const {
        const QVariantMap preferences =
            m_plists.value(QStringLiteral("/Library/Preferences/SystemConfiguration/preferences.plist"));
        const QString host = preferences.value(QStringLiteral("System"))
                                 .toMap()
                                 .value(QStringLiteral("Network"))
                                 .toMap()
                                 .value(QStringLiteral("HostNames"))
                                 .toMap()
                                 .value(QStringLiteral("LocalHostName"))
                                 .toString();
        const QString version =
            m_plists.value(QStringLiteral("/System/Library/CoreServices/SystemVersion.plist"))
                .value(QStringLiteral("ProductVersion"))
                .toString();
        return QStringLiteral("%1 (macOS %2)")
            .arg(host.isEmpty() ? QStringLiteral("a Mac with no name") : host + QStringLiteral(".local"),
                 version.isEmpty() ? QStringLiteral("unknown") : version);
    }

private:
    void addFact(const QStringList &values) { m_facts += values.join(u'\t') + u'\n'; }

    Result<QString> source(const QString &relative) const {
        const QString path = QDir(m_sources).filePath(relative);
        if (!QFileInfo(path).isFile())
            return fail(QStringLiteral("no file %1").arg(path));
        return path;
    }

    Result<void> copyFrom(const QString &macPath, const QString &relative,
                          MacWriter::Mode mode = MacWriter::Mode::plain) {
        const auto path = source(relative);
        if (!path)
            return path.failure();
        QFile file(*path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(*path, file.errorString()));
        return m_writer.writeFile(macPath, file.readAll(), mode);
    }

    Result<void> needsHomebrew() const {
        if (m_prefix.isEmpty())
            return fail(QStringLiteral("no homebrew line before it"));
        return {};
    }

    Result<void> home(const QStringList &words) {
        m_home = words[0];
        return m_writer.makeFolder(m_home);
    }

    Result<void> folder(const QStringList &words) {
        for (const QString &path : words) {
            if (auto made = m_writer.makeFolder(path); !made)
                return made;
        }
        return {};
    }

    Result<void> file(const QStringList &words) { return m_writer.writeFile(words[0], words[1].toLatin1()); }

    Result<void> copy(const QStringList &words) { return copyFrom(words[0], words[1]); }

    Result<void> link(const QStringList &words) { return m_writer.makeLink(words[0], words[1]); }

    Result<QVariantMap> values(const QStringList &assignments) {
        QVariantMap map;
        for (const QString &assignment : assignments) {
            if (auto set = setValue(map, assignment); !set)
                return set.failure();
        }
        return map;
    }

    Result<void> plist(const QStringList &words) {
        const auto map = values(words.mid(1));
        if (!map)
            return map.failure();
        m_plists.insert(words[0], *map);
        return m_writer.writePlist(words[0], *map);
    }

    Result<void> json(const QStringList &words) {
        const auto map = values(words.mid(1));
        if (!map)
            return map.failure();
        return m_writer.writeJson(words[0], QJsonObject::fromVariantMap(*map));
    }

    // app FOLDER FILE BUNDLE-ID SHORT-VERSION BUILD [OPTION...]
    Result<void> app(const QStringList &words) {
        const QString &file = words[1], &id = words[2], &version = words[3], &build = words[4];
        const QString bundle = words[0] + u'/' + file;
        QString name = file.endsWith(QStringLiteral(".app")) ? file.chopped(4) : file;
        QVariantMap info{
            {QStringLiteral("CFBundleDevelopmentRegion"), QStringLiteral("en")},
            {QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon")},
            {QStringLiteral("CFBundleIdentifier"), id},
            {QStringLiteral("CFBundleInfoDictionaryVersion"), QStringLiteral("6.0")},
            {QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL")},
            {QStringLiteral("CFBundleSupportedPlatforms"), QVariantList{QStringLiteral("MacOSX")}},
            {QStringLiteral("CFBundleVersion"), build},
            {QStringLiteral("LSMinimumSystemVersion"), QStringLiteral("11.0")},
            {QStringLiteral("NSHighResolutionCapable"), true},
        };
        if (!version.isEmpty())
            info.insert(QStringLiteral("CFBundleShortVersionString"), version);
        QString store;
        for (const QString &option : words.mid(5)) {
            const QString value = option.section(u'=', 1);
            if (option.startsWith(QStringLiteral("name=")))
                name = value;
            else if (option.startsWith(QStringLiteral("feed=")))
                info.insert(QStringLiteral("SUFeedURL"), value);
            else if (option == u"menubar")
                info.insert(QStringLiteral("LSUIElement"), true);
            else if (option.startsWith(QStringLiteral("store=")))
                store = value;
            else if (option.startsWith(QStringLiteral("category=")))
                info.insert(QStringLiteral("LSApplicationCategoryType"),
                            QStringLiteral("public.app-category.") + value);
            else if (option.startsWith(QStringLiteral("minos=")))
                info.insert(QStringLiteral("LSMinimumSystemVersion"), value);
            else if (option.startsWith(QStringLiteral("info:"))) {
                if (auto set = setValue(info, option.mid(5)); !set)
                    return set;
            } else
                return fail(QStringLiteral("app %1: unknown option %2").arg(file, option));
        }
        const QString executable = QString(name).remove(u' ');
        info.insert(QStringLiteral("CFBundleName"), name);
        info.insert(QStringLiteral("CFBundleExecutable"), executable);

        const QString contents = bundle + QStringLiteral("/Contents");
        for (const auto &written : {m_writer.makeFolder(contents + QStringLiteral("/Resources")),
                                    m_writer.writeFile(contents + QStringLiteral("/PkgInfo"), "APPL????"),
                                    m_writer.writeFile(contents + QStringLiteral("/MacOS/") + executable,
                                                       "#!/bin/sh\necho \"" + name.toUtf8() +
                                                           " is part of the sample Mac and does nothing.\"\n",
                                                       MacWriter::Mode::executable),
                                    m_writer.writePlist(contents + QStringLiteral("/Info.plist"), info)}) {
            if (!written)
                return written;
        }
        const QString text = QStringLiteral("text");
        addFact({QStringLiteral("spotlight"), bundle, QStringLiteral("kMDItemCFBundleIdentifier"), text, id});
        if (!version.isEmpty())
            addFact({QStringLiteral("spotlight"), bundle, QStringLiteral("kMDItemVersion"), text, version});
        if (!store.isEmpty()) {
            if (auto written = m_writer.writeFile(
                    contents + QStringLiteral("/_MASReceipt/receipt"),
                    QStringLiteral("sample App Store receipt for %1 (%2)\n").arg(id, store).toUtf8());
                !written)
                return written;
            addFact({QStringLiteral("spotlight"), bundle, QStringLiteral("kMDItemAppStoreAdamID"),
                     QStringLiteral("number"), store});
        }
        return {};
    }

    Result<void> loginItem(const QStringList &words) {
        if (m_home.isEmpty())
            return fail(QStringLiteral("no home line before it"));
        m_loginItems += words[0] + u'\t' + words[1] + u'\n';
        return {};
    }

    Result<void> backgroundItems(const QStringList &words) {
        addFact({QStringLiteral("background-items"), words[0]});
        return copyFrom(words[0], words[1]);
    }

    Result<void> homebrew(const QStringList &words) {
        m_prefix = words[0];
        m_homebrewVersion = words[1];
        return folder({m_prefix + QStringLiteral("/bin"), m_prefix + QStringLiteral("/Cellar"),
                       m_prefix + QStringLiteral("/Caskroom"), m_prefix + QStringLiteral("/Library/Taps")});
    }

    // formula NAME VERSION TAP AS-DEPENDENCY [DEPENDENCY=VERSION...]: a keg and the receipt `brew leaves`
    // reads, in the shape Homebrew writes it.
    Result<void> formula(const QStringList &words) {
        if (auto ready = needsHomebrew(); !ready)
            return ready;
        const QString &name = words[0], &version = words[1], &tap = words[2];
        if (words[3] != u"true" && words[3] != u"false")
            return fail(
                QStringLiteral("formula %1: AS-DEPENDENCY is true or false, not %2").arg(name, words[3]));
        const bool asDependency = words[3] == u"true";
        QJsonArray dependencies;
        QStringList fact{QStringLiteral("keg"), m_prefix, name, version, tap};
        for (const QString &dependency : words.mid(4)) {
            if (!dependency.contains(u'='))
                return fail(QStringLiteral("formula %1: \"%2\" is not NAME=VERSION").arg(name, dependency));
            dependencies.append(QJsonObject{{QStringLiteral("full_name"), dependency.section(u'=', 0, 0)},
                                            {QStringLiteral("version"), dependency.section(u'=', 1)},
                                            {QStringLiteral("declared_directly"), true}});
            fact.append(dependency.section(u'=', 0, 0));
        }
        const QJsonObject receipt{
            {QStringLiteral("homebrew_version"), m_homebrewVersion},
            {QStringLiteral("used_options"), QJsonArray()},
            {QStringLiteral("unused_options"), QJsonArray()},
            {QStringLiteral("built_as_bottle"), true},
            {QStringLiteral("poured_from_bottle"), true},
            {QStringLiteral("loaded_from_api"), tap == u"homebrew/core"},
            {QStringLiteral("installed_as_dependency"), asDependency},
            {QStringLiteral("installed_on_request"), !asDependency},
            {QStringLiteral("changed_files"), QJsonArray()},
            {QStringLiteral("time"), 1732618800},
            {QStringLiteral("source_modified_time"), 1732300000},
            {QStringLiteral("compiler"), QStringLiteral("clang")},
            {QStringLiteral("aliases"), QJsonArray()},
            {QStringLiteral("runtime_dependencies"), dependencies},
            {QStringLiteral("source"),
             QJsonObject{{QStringLiteral("tap"), tap},
                         {QStringLiteral("spec"), QStringLiteral("stable")},
                         {QStringLiteral("versions"),
                          QJsonObject{{QStringLiteral("stable"), version.section(u'_', 0, 0)},
                                      {QStringLiteral("head"), QJsonValue::Null},
                                      {QStringLiteral("version_scheme"), 0}}}}},
            {QStringLiteral("arch"), QStringLiteral("arm64")},
            {QStringLiteral("built_on"),
             QJsonObject{{QStringLiteral("os"), QStringLiteral("Macintosh")},
                         {QStringLiteral("os_version"), QStringLiteral("macOS 15")},
                         {QStringLiteral("cpu_family"), QStringLiteral("arm_firestorm_icestorm")},
                         {QStringLiteral("xcode"), QStringLiteral("16.0")},
                         {QStringLiteral("clt"), QStringLiteral("16.0.0.0.1.1724870825")}}},
        };
        const QString keg = m_prefix + QStringLiteral("/Cellar/") + name + u'/' + version;
        if (auto made = m_writer.makeFolder(keg + QStringLiteral("/bin")); !made)
            return made;
        addFact(fact);
        return m_writer.writeJson(keg + QStringLiteral("/INSTALL_RECEIPT.json"), receipt);
    }

    Result<void> cask(const QStringList &words) {
        if (auto ready = needsHomebrew(); !ready)
            return ready;
        return m_writer.makeFolder(m_prefix + QStringLiteral("/Caskroom/") + words[0] + u'/' + words[1]);
    }

    Result<void> tap(const QStringList &words) {
        if (auto ready = needsHomebrew(); !ready)
            return ready;
        const QStringList parts = words[0].split(u'/');
        if (parts.size() != 2 || parts[0].isEmpty() || parts[1].isEmpty())
            return fail(QStringLiteral("tap %1: not USER/REPOSITORY").arg(words[0]));
        return m_writer.makeFolder(m_prefix + QStringLiteral("/Library/Taps/") + parts[0] +
                                   QStringLiteral("/homebrew-") + parts[1] + QStringLiteral("/Formula"));
    }

    // The catalogue as Homebrew caches it, and a fact for each cask in it that is disabled (with the
    // date, or nothing when the catalogue gives none).
    Result<void> caskCatalogue(const QStringList &words) {
        const auto path = source(words[1]);
        if (!path)
            return path.failure();
        QFile file(*path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(*path, file.errorString()));
        const QByteArray bytes = file.readAll();
        QJsonParseError error;
        const QJsonDocument catalogue = QJsonDocument::fromJson(bytes, &error);
        if (!catalogue.isArray())
            return fail(QStringLiteral("%1 is not a list of casks: %2").arg(*path, error.errorString()));
        for (const QJsonValue &cask : catalogue.array()) {
            if (cask[QLatin1String("disabled")].toBool())
                addFact({QStringLiteral("disabled-cask"), cask[QLatin1String("token")].toString(),
                         cask[QLatin1String("disable_date")].toString()});
        }
        return m_writer.writeFile(words[0], bytes);
    }

    Result<void> tool(const QStringList &words) {
        return copyFrom(words[0], QStringLiteral("tools/") + words[1], MacWriter::Mode::executable);
    }

    Result<void> fact(const QStringList &words) {
        addFact(words);
        return {};
    }

    MacWriter m_writer;
    QString m_sources;
    QString m_home;
    QString m_prefix;
    QString m_homebrewVersion;
    QString m_loginItems;
    QString m_facts;
    QMap<QString, QVariantMap> m_plists;
};

int build(const QString &description, const QString &folder) {
    const auto complain = [&](const QString &message) {
        std::fprintf(stderr, "haulwise-samplemac: %s\n", qPrintable(message));
        return 1;
    };
    QFile file(description);
    if (!file.open(QIODevice::ReadOnly))
        return complain(QStringLiteral("cannot read %1: %2").arg(description, file.errorString()));
    const auto lines = readLines(file.readAll());
    if (!lines)
        return complain(description + QStringLiteral(", ") + lines.message());
    const QDir root(folder);
    if (!root.exists() ||
        !root.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return complain(QStringLiteral("%1 is not an empty folder").arg(folder));

    Builder builder(root.absolutePath(), QFileInfo(description).absolutePath());
    for (const Line &line : *lines) {
        if (auto applied = builder.apply(line); !applied)
            return complain(
                QStringLiteral("%1, line %2: %3").arg(description).arg(line.number).arg(applied.message()));
    }
    if (auto finished = builder.finish(); !finished)
        return complain(finished.message());
    std::printf("%s\n", qPrintable(builder.summary()));
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: haulwise-samplemac DESCRIPTION FOLDER\n");
        return 2;
    }
    return build(arguments[1], arguments[2]);
}
