// What the program does before its window exists: the command line and the display check.
//
// Both run before QApplication is made, because making it without a display ends the process in
// Qt's abort.
#pragma once

#include <optional>

class QApplication;

namespace tollenby {

// --help and --version, answered on standard output without a display. Returns the exit status when
// the program has answered and must end; nothing when the window is to be shown.
std::optional<int> AnswerCommandLine(int argc, char** argv);

// With no display at all (neither DISPLAY nor WAYLAND_DISPLAY, and no platform named by -platform or
// QT_QPA_PLATFORM) prints one line saying so and returns 1.
std::optional<int> RefuseWithoutDisplay(int argc, char** argv);

// The line RefuseWithoutDisplay prints, also printed when the display named cannot be reached.
const char* NoDisplayLine();

// Makes the application. A display that is named but cannot be reached ends the program with
// NoDisplayLine and status 1 instead of Qt's abort.
class GuardedStart {
  public:
    GuardedStart();   // catches Qt's fatal messages until the destructor
    ~GuardedStart();  // back to Qt's own handling
    GuardedStart(const GuardedStart&) = delete;
    GuardedStart& operator=(const GuardedStart&) = delete;
};

// The arguments left after QApplication has taken its own. False, with the reason on standard error,
// for an option the program does not know or an argument it does not take.
bool AcceptRemainingArguments(const QApplication& application);

}  // namespace tollenby
