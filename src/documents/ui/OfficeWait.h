#pragma once

class QLabel;
class QWidget;
class WordApp;

// While the office that word uses is still starting (it was started in the background when the program came up),
// the window stays alive and says that it waits: a busy cursor, and the hint when the window has one. Returns
// at once when the office is up; false when the window was closed while it waited.
bool waitWhileOfficeStarts(WordApp &word, QWidget *window, QLabel *hint);
