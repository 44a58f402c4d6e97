#pragma once

class QIcon;
class QMenu;

// What differs between the desktops the program runs on; each desktop's file defines these, chosen
// by the build.
namespace ui::desktop {

// The Quick Controls style the views are drawn in.
void applyControlsStyle();

// Makes the status item's icon what this desktop's status area expects.
void adaptStatusIcon(QIcon &icon);

// Whether the status item needs a menu of its own: some status areas only ever open a menu, so
// clicking the icon alone may never reach the panel.
bool statusItemNeedsMenu();

// Brings the program to the front: a menu-bar program is not the active one when its window opens.
void activateApplication();

// Whether System Settings is there to be opened at one of its panes.
bool hasSystemSettings();

} // namespace ui::desktop
