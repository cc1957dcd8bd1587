#pragma once

#include "TfrmMainContract.h"

// The subsystems' entry points behind the main window's commands.
MainCommands appCommands();
