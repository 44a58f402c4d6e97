#pragma once

#include "restore/restoremodel.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace ui {

// The restore window's list as flat rows a list view can scroll through lazily, however many
// applications the manifest holds: per section a header row, its item rows and a footer row; a
// section with no items has no rows at all. Besides the applications and login items, the taps and
// formulae the Brewfile would install, and what the restore leaves out. Also the summary counts of
// the plan.
//
// Follows the restore model: a new manifest rebuilds the rows; a change of choice or link only
// updates the rows it touches, so the list keeps its scroll position and a link field keeps focus
// while the user types.
// Not final: QML makes its instances through a subclass of its own.
class RestoreListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(restore::RestoreModel *restore READ restore WRITE setRestore NOTIFY restoreChanged)
    Q_PROPERTY(int willInstallCount READ willInstallCount NOTIFY countsChanged)
    Q_PROPERTY(int alreadyInstalledCount READ alreadyInstalledCount NOTIFY countsChanged)
    Q_PROPERTY(int manualCount READ manualCount NOTIFY countsChanged)

public:
    // Capitalised, as QML requires of the enumerators it reads.
    enum class Kind { Header, App, Manual, Login, Footer, Package, Skipped, ByHand };
    Q_ENUM(Kind)
    // Named apart from the kinds: QML reaches both enumerations' values through the one type name.
    enum class Section {
        CaskApps,
        StoreApps,
        ManualApps,
        Taps,
        Formulae,
        OtherCasks,
        Extensions,
        NpmPackages,
        RustCrates,
        PythonTools,
        Fonts,
        LoginItems,
        LeftOut
    };
    Q_ENUM(Section)

    enum Role {
        KindRole = Qt::UserRole + 1,
        SectionRole,
        LabelRole, // header or footer text; application, login item, tap or formula name
        NoteRole,  // cask token, "id <number>", a formula's tap or why an entry is left out
        PathRole,  // the application's identity, or the full name of a tap or formula
        // For "All" and "None": the section's model::AppSource, or for the sections of the other
        // kinds their restore::BrewfileKind; -1 for login items
        SourceRole,
        CheckedRole,
        InstalledRole, // the application is already on this Mac
        LinkRole,
        LoginStateRole, // a restore::LoginItems::State, login rows only
        ThirdPartyRole, // a tap, or a package from a tap, that Homebrew doesn't maintain
        FirstRole,      // first item row of its section
        LastRole,       // last item row of its section
        AppRole,        // an application row's position in the manifest, its tick box's identity; else -1
    };

    explicit RestoreListModel(QObject *parent = nullptr);
    ~RestoreListModel() override;
    Q_DISABLE_COPY_MOVE(RestoreListModel)

    restore::RestoreModel *restore() const { return m_restore; }
    void setRestore(restore::RestoreModel *restore);

    int willInstallCount() const { return m_willInstall; }
    int alreadyInstalledCount() const { return m_alreadyInstalled; }
    int manualCount() const { return m_manual; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void restoreChanged();
    void countsChanged();

private:
    struct Row {
        Kind kind = Kind::App;
        Section section = Section::CaskApps;
        QString label{};
        QString note{};
        QString path{};
        int app = -1;
        int source = -1;
        bool checked = false;
        bool installed = false;
        QString link{};
        int loginState = 0;
        bool thirdParty = false;
        bool first = false;
        bool last = false;

        // The same place in the list: only its values may differ.
        bool sameSlot(const Row &other) const {
            return kind == other.kind && section == other.section && path == other.path && app == other.app &&
                   (kind != Kind::Login || label == other.label);
        }
        friend bool operator==(const Row &, const Row &) = default;
    };

    QList<Row> buildRows(const restore::RestorePlan &plan) const;
    void update();

    QPointer<restore::RestoreModel> m_restore;
    QList<Row> m_rows;
    int m_willInstall = 0;
    int m_alreadyInstalled = 0;
    int m_manual = 0;
};

} // namespace ui
