#pragma once

#include <QtGlobal>

#include <functional>

// Every office process this program starts for itself, so that none outlives the program, whichever way the
// program ends: a normal close, a restore that ends the process at once, a fatal signal. (The visible
// spreadsheet office that holds the user's exported spreadsheets is the user's, and is not counted here.)
namespace OfficeProcesses {

// Ends every registered office: in order (documents closed unsaved) where it still answers, killed otherwise.
// Call on the main thread.
void endAll();

// Installs the ways out that end them too: QCoreApplication::aboutToQuit and std::at_quick_exit end them in
// order; std::atexit and fatal signals (a crash, SIGTERM, SIGINT, SIGHUP) kill what is left. Once per process;
// the process then ends with std::quick_exit instead of std::_Exit where it must end at once.
void installExitGuards();

// The number of registered offices.
int count();

// For the office layer. An office process started with its own process group `processGroup` (0 when unknown)
// and the way to end it in order; returns the registration's id.
int add(qint64 processGroup, std::function<void()> endInOrder);
void setProcessGroup(int id, qint64 processGroup);
void remove(int id);

} // namespace OfficeProcesses
