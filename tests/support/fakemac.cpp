#include "fakemac.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <plist/plist.h>

#include <cstdlib>

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

} // namespace

FakeMac::FakeMac() {
    QVERIFY2(m_dir.isValid(), "no temporary folder");
    makeFolder(home());
}

QByteArray FakeMac::encodePlist(const QVariantMap &info, PlistFormat format) {
    plist_t root = toPlist(info);
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

QString FakeMac::addBareBundle(const QString &folder, const QString &fileName) {
    const QString bundle = folder + u'/' + fileName;
    makeFolder(bundle + QStringLiteral("/Contents/MacOS"));
    return bundle;
}

QString FakeMac::addBundle(const QString &folder, const QString &fileName, const QVariantMap &info,
                           PlistFormat format) {
    const QString bundle = addBareBundle(folder, fileName);
    writeInfoPlistBytes(bundle, encodePlist(info, format));
    return bundle;
}

void FakeMac::writeInfoPlistBytes(const QString &bundlePath, const QByteArray &bytes) {
    writeFile(bundlePath + QStringLiteral("/Contents/Info.plist"), bytes);
}

void FakeMac::addReceipt(const QString &bundlePath) {
    writeFile(bundlePath + QStringLiteral("/Contents/_MASReceipt/receipt"), QByteArrayLiteral("receipt"));
}

void FakeMac::makeFolder(const QString &macPath) {
    QVERIFY2(QDir().mkpath(local(macPath)), qPrintable(macPath));
}

void FakeMac::writeFile(const QString &macPath, const QByteArray &bytes) {
    makeFolder(macPath.section(u'/', 0, -2));
    QFile file(local(macPath));
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

void FakeMac::addTool(const QString &macPath, const QByteArray &body) {
    writeFile(macPath, QByteArrayLiteral("#!/bin/sh\n") + body);
    QVERIFY(QFile::setPermissions(local(macPath), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadGroup | QFile::ExeGroup));
}
