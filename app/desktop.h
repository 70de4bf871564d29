#pragma once
// What the tray's menu does to the window and to nimbrel.ini.
#include <QIcon>
#include <string>

#include "app/form1.h"
#include "app/tray.h"
#include "settings/own_settings.h"

namespace nimbrel {

// The program's icon for its windows and the window list.
QIcon programIcon();
void setProgramIcon();

// own is the program's copy of nimbrel.ini, written to ownPath on each
// change; both outlive the callbacks.
TrayCallbacks windowTrayCallbacks(Form1& form, OwnSettings& own, const std::string& ownPath);

}  // namespace nimbrel
