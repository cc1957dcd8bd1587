#pragma once

#include "TfrmMainContract.h"

// The subsystems' entry points behind the main window's commands.
MainCommands appCommands();

// Lets the subsystems reach one another's windows (the template page, the indicator dialogs of the template
// editor). Called once before the first window opens.
void installSubsystemHooks();
