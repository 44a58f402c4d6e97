#pragma once

#include "inventory/inventorymodel.h"
#include "restore/restoremodel.h"
#include "sync/appsettings.h"
#include "ui/qmlmodule.h"

#include <QJSEngine>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;

// The models the views bind to live in libraries that know nothing of QML; these declarations make
// them known to the views' module under their own names, typed, so the views can name them.
namespace ui::qmltypes {

// The settings the engine was prepared with, shared with the models and never owned by the engine.
struct AppSettingsForeign {
    Q_GADGET
    QML_FOREIGN(syncing::AppSettings)
    QML_NAMED_ELEMENT(AppSettings)
    QML_SINGLETON

public:
    static syncing::AppSettings *create(QQmlEngine *engine, QJSEngine *) {
        syncing::AppSettings *settings = settingsOf(engine);
        if (settings)
            QJSEngine::setObjectOwnership(settings, QJSEngine::CppOwnership);
        return settings;
    }
};

struct InventoryModelForeign {
    Q_GADGET
    QML_FOREIGN(inventory::InventoryModel)
    QML_NAMED_ELEMENT(InventoryModel)
    QML_UNCREATABLE("The program owns the one inventory model.")
};

struct RestoreModelForeign {
    Q_GADGET
    QML_FOREIGN(restore::RestoreModel)
    QML_NAMED_ELEMENT(RestoreModel)
    QML_UNCREATABLE("The restore window owns its model.")
};

struct BrewfileHandoffForeign {
    Q_GADGET
    QML_FOREIGN(restore::BrewfileHandoff)
    QML_NAMED_ELEMENT(BrewfileHandoff)
    QML_UNCREATABLE("Reached through RestoreModel.brewfile.")
};

struct LoginItemsForeign {
    Q_GADGET
    QML_FOREIGN(restore::LoginItems)
    QML_NAMED_ELEMENT(LoginItems)
    QML_UNCREATABLE("Reached through RestoreModel.loginItems.")
};

struct ManualDownloadsForeign {
    Q_GADGET
    QML_FOREIGN(restore::ManualDownloads)
    QML_NAMED_ELEMENT(ManualDownloads)
    QML_UNCREATABLE("Reached through RestoreModel.downloads.")
};

} // namespace ui::qmltypes
