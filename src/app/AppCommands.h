#pragma once

#include "TfrmMainContract.h"

// The subsystems' entry points behind the main window's commands.
MainCommands appCommands();

// Lets the subsystems reach one another's windows (the template page, the indicator dialogs of the template
// editor). Called once before the first window opens.
void installSubsystemHooks();

// What starts once the main window is on screen: the office the document windows share, in the background.
void afterMainWindowShown();
