#pragma once

#include "model/manifest.h"

// A manifest that uses every field, for tests that send one somewhere and compare what comes back.
inline model::Manifest sampleManifest() {
    model::AppRecord store;
    store.name = QStringLiteral("Ünïcode \"Quoted\" Store App");
    store.bundleId = QStringLiteral("com.example.store");
    store.version = QStringLiteral("1.2.3");
    store.path = QStringLiteral("/Applications/Store.app");
    store.source = model::AppSource::appStore;
    store.isMenuBarApp = true;
    store.appStoreId = 9007199254740993; // beyond a double's exact range
    model::AppRecord cask;
    cask.name = QStringLiteral("Caskable");
    cask.path = QStringLiteral("/Applications/Caskable.app");
    cask.source = model::AppSource::cask;
    cask.caskToken = QStringLiteral("caskable");
    model::AppRecord manual;
    manual.name = QStringLiteral("By Hand");
    manual.path = QStringLiteral("/Users/me/Applications/By Hand.app");
    manual.source = model::AppSource::manual;
    manual.downloadURL = QStringLiteral("https://example.com/byhand 😀");
    model::AppRecord apple;
    apple.name = QStringLiteral("Safari");
    apple.bundleId = QStringLiteral("com.apple.Safari");
    apple.path = QStringLiteral("/Applications/Safari.app");
    apple.source = model::AppSource::apple;

    model::Manifest manifest;
    manifest.generatedAt = QStringLiteral("2026-12-07T10:00:00Z");
    manifest.hostname = QStringLiteral("old-mac");
    manifest.macosVersion = QStringLiteral("Version 15.1 (Build 24B83)");
    manifest.apps = {store, cask, manual, apple};
    manifest.legacyLoginItems = {QStringLiteral("Alpha"), QStringLiteral("Beta")};
    manifest.backgroundItems = {{QStringLiteral("Helper"), QStringLiteral("Dev"), QStringLiteral("app")},
                                {QStringLiteral("Bare"), std::nullopt, std::nullopt}};
    manifest.brewFormulae = {QStringLiteral("git")};
    manifest.brewTaps = {QStringLiteral("homebrew/cask")};
    return manifest;
}
