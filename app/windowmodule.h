#ifndef FEEDQUILL_APP_WINDOWMODULE_H
#define FEEDQUILL_APP_WINDOWMODULE_H

#include <string>
#include <vector>

// The window application lives in a module of its own ("feedquill-window.so") so that a
// command-line run without a display loads none of the window libraries: they take longer to
// load than a whole update of a small feed. The executable loads the module only when there is
// a display to show the window on.
namespace WindowModule
{

// The module's one entry point. Runs the window application (the main window, or a
// command-line run with message boxes) and stores its result; false, with nothing run, when
// the toolkit cannot open the display.
using RunFunction = bool (*)(int argc, char** argv, int* result);

// The name of the entry point in the module, declared below.
inline constexpr char RUN_FUNCTION_NAME[] = "FeedquillRunWindow";

// Where the module is looked for, in order: beside the executable (the build tree, a portable
// copy), where an installation below the executable's prefix keeps it, then where this build
// installs it. programDir ends with a separator.
std::vector<std::string> Candidates(const std::string& programDir);

// Loads the module from the first candidate that exists and returns its entry point, or null
// with the reason in error. The module stays loaded until the process ends.
RunFunction Load(const std::string& programDir, std::string& error);

} // namespace WindowModule

// The entry point, a RunFunction, defined in the module only.
extern "C" bool FeedquillRunWindow(int argc, char** argv, int* result);

#endif
