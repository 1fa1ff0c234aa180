#pragma once

#include <QString>

// The program's only globals, shared by the two windows: the chooser writes them, the main window
// reads ChosenPath. Both start empty and live only while the program runs.
namespace tessiloom {

// The folder the file chooser showed when it last closed, however it closed.
extern QString LastFolder;

// The full path of the file last accepted in the file chooser; a Cancel leaves it as it was.
extern QString ChosenPath;

}  // namespace tessiloom
