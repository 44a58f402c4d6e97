#include "macwriter.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <plist/plist.h>

#include <cstdlib>

using platform::fail;
using platform::Result;

namespace {

plist_t toPlist(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
#ifdef HAULWISE_PLIST_SIGNED_INTEGERS
        // A negative number as an unsigned node would be written as a 16-byte integer.
        return plist_new_int(value.toLongLong());
#else
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
#endif
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, toPlist(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

// Only absolute paths that stay inside the Mac: a ".." would write beside its root instead.
Result<void> insideTheMac(const QString &macPath) {
    if (!macPath.startsWith(u'/') || macPath.split(u'/').contains(QStringLiteral("..")))
        return fail(QStringLiteral("%1 is not a path inside the Mac").arg(macPath));
    return {};
}

} // namespace

QByteArray MacWriter::encodePlist(const QVariantMap &plist, PlistFormat format) {
    plist_t root = toPlist(plist);
    char *data = nullptr;
    uint32_t length = 0;
    if (format == PlistFormat::xml)
        plist_to_xml(root, &data, &length);
    else
        plist_to_bin(root, &data, &length);
    QByteArray bytes(data, static_cast<qsizetype>(length));
    std::free(data);
    plist_free(root);
    return bytes;
}

Result<void> MacWriter::makeFolder(const QString &macPath) const {
    if (auto inside = insideTheMac(macPath); !inside)
        return inside;
    if (!QDir().mkpath(local(macPath)))
        return fail(QStringLiteral("cannot make the folder %1").arg(local(macPath)));
    return {};
}

Result<void> MacWriter::writeFile(const QString &macPath, const QByteArray &bytes, Mode mode) const {
    if (auto inside = insideTheMac(macPath); !inside)
        return inside;
    if (const QString folder = macPath.section(u'/', 0, -2); !folder.isEmpty()) {
        if (auto made = makeFolder(folder); !made)
            return made;
    }
    QFile file(local(macPath));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    file.close();
    if (mode == Mode::executable &&
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther))
        return fail(QStringLiteral("cannot make %1 executable: %2").arg(file.fileName(), file.errorString()));
    return {};
}

Result<void> MacWriter::makeLink(const QString &macPath, const QString &target) const {
    if (auto inside = insideTheMac(macPath); !inside)
        return inside;
    const QString folder = macPath.section(u'/', 0, -2);
    if (target.isEmpty() || target.startsWith(u'/') ||
        !QDir::cleanPath(folder + u'/' + target).startsWith(folder + u'/'))
        return fail(QStringLiteral("the link %1 must lead to a path below its own folder, not %2")
                        .arg(macPath, target));
    if (!folder.isEmpty()) {
        if (auto made = makeFolder(folder); !made)
            return made;
    }
    if (!QFile::link(target, local(macPath)))
        return fail(QStringLiteral("cannot make the link %1").arg(local(macPath)));
    return {};
}

Result<void> MacWriter::writePlist(const QString &macPath, const QVariantMap &plist,
                                   PlistFormat format) const {
    return writeFile(macPath, encodePlist(plist, format));
}

Result<void> MacWriter::writeJson(const QString &macPath, const QJsonObject &object) const {
    return writeFile(macPath, QJsonDocument(object).toJson(QJsonDocument::Indented));
}
