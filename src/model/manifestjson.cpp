#include "model/manifestjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace model {

namespace {

// --- writing ---------------------------------------------------------------------------------

// Writes the members of one object; the first member gets no leading comma.
class ObjectWriter {
public:
    explicit ObjectWriter(QByteArray &out)
        : m_out(out) {
        m_out += '{';
    }
    ~ObjectWriter() { m_out += '}'; }
    Q_DISABLE_COPY_MOVE(ObjectWriter)

    QByteArray &key(const char *name) {
        if (!m_first)
            m_out += ',';
        m_first = false;
        m_out += '"';
        m_out += name;
        m_out += "\":";
        return m_out;
    }
    void text(const char *name, const QString &value) { appendJsonString(key(name), value); }
    // A member whose name is data (a tap's), escaped like any value.
    void text(const QString &name, const QString &value) {
        if (!m_first)
            m_out += ',';
        m_first = false;
        appendJsonString(m_out, name);
        m_out += ':';
        appendJsonString(m_out, value);
    }
    void text(const char *name, const std::optional<QString> &value) {
        if (value)
            text(name, *value);
    }
    void integer(const char *name, qint64 value) { key(name) += QByteArray::number(value); }
    void integer(const char *name, const std::optional<qint64> &value) {
        if (value)
            integer(name, *value);
    }
    void boolean(const char *name, bool value) { key(name) += value ? "true" : "false"; }
    template <typename List, typename Write>
    void optionalArray(const char *name, const List &items, Write write) {
        if (!items.isEmpty())
            array(name, items, write);
    }
    template <typename List, typename Write> void array(const char *name, const List &items, Write write) {
        QByteArray &out = key(name);
        out += '[';
        bool first = true;
        for (const auto &item : items) {
            if (!first)
                out += ',';
            first = false;
            write(out, item);
        }
        out += ']';
    }

private:
    QByteArray &m_out;
    bool m_first = true;
};

void appendAppRecord(QByteArray &out, const AppRecord &r) {
    ObjectWriter w(out);
    w.text("name", r.name);
    w.text("bundleId", r.bundleId);
    w.text("version", r.version);
    w.text("path", r.path);
    w.text("source", toJsonText(r.source));
    w.boolean("isMenuBarApp", r.isMenuBarApp);
    w.integer("appStoreId", r.appStoreId);
    w.text("caskToken", r.caskToken);
    w.text("downloadURL", r.downloadURL);
}

void appendBackgroundItem(QByteArray &out, const BackgroundItem &item) {
    ObjectWriter w(out);
    w.text("name", item.name);
    w.text("developer", item.developer);
    w.text("type", item.type);
}

void appendFontRecord(QByteArray &out, const FontRecord &font) {
    ObjectWriter w(out);
    w.text("file", font.file);
    w.text("caskToken", font.caskToken);
}

// --- reading ---------------------------------------------------------------------------------

// Reads typed members and remembers the first failure with the path that led to it.
class Reader {
public:
    bool failed() const { return !m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    void fail(const QString &where, const QString &why) {
        if (!failed())
            m_error = where + QStringLiteral(": ") + why;
    }

    QJsonValue required(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (value.isUndefined() || value.isNull())
            fail(member(where, key), QStringLiteral("missing"));
        return value;
    }

    // JSON escapes can spell half of a surrogate pair. That is no Unicode text, and UTF-8 has no form
    // for it, so the manifest could not be written back as it was read: refuse it like any bad value.
    QString checkedText(const QJsonValue &value, const QString &where) {
        QString text = value.toString();
        if (!text.isValidUtf16())
            fail(where, QStringLiteral("text with an unpaired surrogate"));
        return text;
    }

    QString text(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = required(object, where, key);
        if (!failed() && !value.isString())
            fail(member(where, key), QStringLiteral("expected text"));
        return checkedText(value, member(where, key));
    }

    std::optional<QString> optionalText(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isString()) {
            fail(member(where, key), QStringLiteral("expected text"));
            return std::nullopt;
        }
        return checkedText(value, member(where, key));
    }

    std::optional<qint64> integerValue(const QJsonValue &value, const QString &where) {
        // toInteger() gives the fallback for fractions and out-of-range numbers; two different
        // fallbacks tell a real value apart from a refusal.
        if (value.isDouble() && value.toInteger(0) == value.toInteger(1))
            return value.toInteger();
        fail(where, QStringLiteral("expected an integer"));
        return std::nullopt;
    }

    qint64 integer(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = required(object, where, key);
        if (failed())
            return 0;
        return integerValue(value, member(where, key)).value_or(0);
    }

    std::optional<qint64> optionalInteger(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        return integerValue(value, member(where, key));
    }

    bool boolean(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = required(object, where, key);
        if (!failed() && !value.isBool())
            fail(member(where, key), QStringLiteral("expected true or false"));
        return value.toBool();
    }

    QJsonArray array(const QJsonObject &object, const QString &where, const char *key) {
        const QJsonValue value = required(object, where, key);
        if (!failed() && !value.isArray())
            fail(member(where, key), QStringLiteral("expected an array"));
        return value.toArray();
    }

    QJsonObject object(const QJsonValue &value, const QString &where) {
        if (!value.isObject())
            fail(where, QStringLiteral("expected an object"));
        return value.toObject();
    }

    // An optional array (absent or null counts as empty).
    bool hasMember(const QJsonObject &object, const char *key) const {
        const QJsonValue value = object.value(QLatin1StringView(key));
        return !value.isUndefined() && !value.isNull();
    }

    QStringList textArray(const QJsonObject &object, const QString &where, const char *key) {
        QStringList result;
        const QJsonArray items = array(object, where, key);
        for (qsizetype i = 0; i < items.size() && !failed(); ++i) {
            if (!items.at(i).isString())
                fail(element(member(where, key), i), QStringLiteral("expected text"));
            result.append(checkedText(items.at(i), element(member(where, key), i)));
        }
        return result;
    }

    // An object whose members all hold text.
    QMap<QString, QString> textMap(const QJsonObject &object, const QString &where, const char *key) {
        QMap<QString, QString> result;
        const QJsonObject members = this->object(required(object, where, key), member(where, key));
        for (auto it = members.constBegin(); it != members.constEnd() && !failed(); ++it) {
            const QString at = member(where, key) + QStringLiteral("[\"%1\"]").arg(it.key());
            if (!it.value().isString())
                fail(at, QStringLiteral("expected text"));
            result.insert(checkedText(QJsonValue(it.key()), at), checkedText(it.value(), at));
        }
        return result;
    }

    static QString member(const QString &where, const char *key) {
        return where.isEmpty() ? QString::fromLatin1(key) : where + u'.' + QLatin1StringView(key);
    }
    static QString element(const QString &where, qsizetype index) {
        return where + u'[' + QString::number(index) + u']';
    }

private:
    QString m_error;
};

AppRecord readAppRecord(Reader &in, const QJsonObject &o, const QString &where) {
    AppRecord r;
    r.name = in.text(o, where, "name");
    r.bundleId = in.optionalText(o, where, "bundleId");
    r.version = in.optionalText(o, where, "version");
    r.path = in.text(o, where, "path");
    const QString source = in.text(o, where, "source");
    if (!in.failed()) {
        if (const auto parsed = appSourceFromJsonText(source))
            r.source = *parsed;
        else
            in.fail(Reader::member(where, "source"), QStringLiteral("unknown source \"%1\"").arg(source));
    }
    r.isMenuBarApp = in.boolean(o, where, "isMenuBarApp");
    r.appStoreId = in.optionalInteger(o, where, "appStoreId");
    r.caskToken = in.optionalText(o, where, "caskToken");
    r.downloadURL = in.optionalText(o, where, "downloadURL");
    return r;
}

BackgroundItem readBackgroundItem(Reader &in, const QJsonObject &o, const QString &where) {
    BackgroundItem item;
    item.name = in.text(o, where, "name");
    item.developer = in.optionalText(o, where, "developer");
    item.type = in.optionalText(o, where, "type");
    return item;
}

FontRecord readFontRecord(Reader &in, const QJsonObject &o, const QString &where) {
    FontRecord font;
    font.file = in.text(o, where, "file");
    font.caskToken = in.optionalText(o, where, "caskToken");
    return font;
}

template <typename Record, typename Read>
QList<Record> readObjects(Reader &in, const QJsonObject &o, const char *key, Read read) {
    QList<Record> result;
    const QJsonArray items = in.array(o, QString(), key);
    result.reserve(items.size());
    for (qsizetype i = 0; i < items.size() && !in.failed(); ++i) {
        const QString where = Reader::element(QString::fromLatin1(key), i);
        const QJsonObject object = in.object(items.at(i), where);
        if (!in.failed())
            result.append(read(in, object, where));
    }
    return result;
}

} // namespace

void appendJsonString(QByteArray &out, const QString &text) {
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

QByteArray jsonString(const QString &text) {
    QByteArray out;
    appendJsonString(out, text);
    return out;
}

QByteArray encodeAppRecord(const AppRecord &record) {
    QByteArray out;
    appendAppRecord(out, record);
    return out;
}

QByteArray encodeManifest(const Manifest &m) {
    QByteArray out;
    out.reserve(256 + m.apps.size() * 160);
    {
        ObjectWriter w(out);
        w.integer("schemaVersion", m.schemaVersion);
        w.text("generatedAt", m.generatedAt);
        w.text("hostname", m.hostname);
        w.text("macosVersion", m.macosVersion);
        w.array("apps", m.apps, appendAppRecord);
        w.array("legacyLoginItems", m.legacyLoginItems, appendJsonString);
        w.array("backgroundItems", m.backgroundItems, appendBackgroundItem);
        w.array("brewFormulae", m.brewFormulae, appendJsonString);
        w.array("brewTaps", m.brewTaps, appendJsonString);
        // Optional keys: a manifest without casks or custom remotes reads as it did before they existed.
        if (!m.brewCasks.isEmpty())
            w.array("brewCasks", m.brewCasks, appendJsonString);
        if (!m.brewTapRemotes.isEmpty()) {
            QByteArray &remotes = w.key("brewTapRemotes");
            ObjectWriter members(remotes);
            for (auto it = m.brewTapRemotes.cbegin(); it != m.brewTapRemotes.cend(); ++it)
                members.text(it.key(), it.value());
        }
        // Absent when everything was read, so such a manifest stays what it always was.
        if (!m.unread.isEmpty()) {
            QByteArray &unread = w.key("unread");
            ObjectWriter sections(unread);
            // Keys read from another program's manifest may hold anything, so they are escaped too.
            for (auto it = m.unread.cbegin(); it != m.unread.cend(); ++it)
                sections.text(it.key(), it.value());
        }
        w.optionalArray("vscodeExtensions", m.vscodeExtensions, appendJsonString);
        w.optionalArray("npmPackages", m.npmPackages, appendJsonString);
        w.optionalArray("cargoCrates", m.cargoCrates, appendJsonString);
        w.optionalArray("uvTools", m.uvTools, appendJsonString);
        w.optionalArray("fonts", m.fonts, appendFontRecord);
    }
    return out;
}

platform::Result<Manifest> decodeManifest(QByteArrayView json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &parseError);
    Reader in;
    if (parseError.error != QJsonParseError::NoError)
        in.fail(QStringLiteral("offset %1").arg(parseError.offset), parseError.errorString());
    else if (!document.isObject())
        in.fail(QStringLiteral("document"), QStringLiteral("expected an object"));

    Manifest m;
    if (!in.failed()) {
        const QJsonObject o = document.object();
        m.schemaVersion = in.integer(o, QString(), "schemaVersion");
        m.generatedAt = in.text(o, QString(), "generatedAt");
        m.hostname = in.text(o, QString(), "hostname");
        m.macosVersion = in.text(o, QString(), "macosVersion");
        m.apps = readObjects<AppRecord>(in, o, "apps", readAppRecord);
        m.legacyLoginItems = in.textArray(o, QString(), "legacyLoginItems");
        m.backgroundItems = readObjects<BackgroundItem>(in, o, "backgroundItems", readBackgroundItem);
        m.brewFormulae = in.textArray(o, QString(), "brewFormulae");
        m.brewTaps = in.textArray(o, QString(), "brewTaps");
        if (o.contains(QLatin1StringView("brewCasks")))
            m.brewCasks = in.textArray(o, QString(), "brewCasks");
        if (o.contains(QLatin1StringView("brewTapRemotes")))
            m.brewTapRemotes = in.textMap(o, QString(), "brewTapRemotes");
        // A null stands for "everything was read", as an absent key does.
        if (o.contains(QLatin1StringView("unread")) && !o.value(QLatin1StringView("unread")).isNull())
            m.unread = in.textMap(o, QString(), "unread");
        // Manifests from before these kinds have none of them; a list out of order or with repeats
        // is taken in order and once, which is how it is written back.
        const auto names = [&](const char *key) {
            return in.hasMember(o, key) ? sortedUnique(in.textArray(o, QString(), key)) : QStringList();
        };
        m.vscodeExtensions = names("vscodeExtensions");
        m.npmPackages = names("npmPackages");
        m.cargoCrates = names("cargoCrates");
        m.uvTools = names("uvTools");
        if (in.hasMember(o, "fonts"))
            m.fonts = sortedUnique(readObjects<FontRecord>(in, o, "fonts", readFontRecord));
    }
    if (in.failed())
        return platform::fail(in.error());
    return m;
}

} // namespace model
