#include "fakemac.h"

#include <QTest>

FakeMac::FakeMac() {
    QVERIFY2(m_dir.isValid(), "no temporary folder");
    makeFolder(home());
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
    const auto made = m_writer.makeFolder(macPath);
    QVERIFY2(made, qPrintable(made.message()));
}

void FakeMac::writeFile(const QString &macPath, const QByteArray &bytes) {
    const auto written = m_writer.writeFile(macPath, bytes);
    QVERIFY2(written, qPrintable(written.message()));
}

void FakeMac::addTool(const QString &macPath, const QByteArray &body) {
    const auto written =
        m_writer.writeFile(macPath, QByteArrayLiteral("#!/bin/sh\n") + body, MacWriter::Mode::executable);
    QVERIFY2(written, qPrintable(written.message()));
}
