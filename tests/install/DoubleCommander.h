// Double Commander, the real host, on a private X server: started on a
// configuration folder of the test's own, driven with xdotool, and closed
// so that it writes its configuration as it does for a user.
#pragma once

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestFolder.h"

namespace velmaro::test {

// True when Double Commander and the X tools are installed; else why not.
bool DoubleCommanderAvailable(std::string& why);

// The configuration Double Commander writes on its first start and exit,
// made once per build folder and shared by the tests; empty (and why in
// failure) when it could not be made.
std::filesystem::path FirstConfiguration(std::string& failure);

// The velmaro command line of this build, with the plug-in it made.
std::string VelmaroCommand();

// The Debian package scripts/package made (the newest), or empty.
std::filesystem::path BuiltPackage();

// A package's files unpacked into a folder of their own (dpkg -x).
class TUnpackedPackage {
 public:
  explicit TUnpackedPackage(const std::filesystem::path& deb);
  bool Ok() const { return FOk; }
  const std::string& Output() const { return FOutput; }
  std::filesystem::path Root() const { return FFolder.Path(); }

 private:
  TTestFolder FFolder;
  bool FOk = false;
  std::string FOutput;
};

// One Debian build of Double Commander: the installed one (GTK), or the
// Qt one that scripts/test unpacks into the build folder (the two
// packages conflict, so it is not installed).
struct THostBuild {
  std::string Name;     // "gtk", "qt"
  std::string Program;  // what to run
};
// How test names show a build: its name.
inline void PrintTo(const THostBuild& build, std::ostream* out) { *out << build.Name; }
// The builds at hand; why a build is missing goes into missing.
std::vector<THostBuild> HostBuilds(std::string* missing = nullptr);

// A private X server on a free display number from 50 up, stopped (and
// every window on it closed) when this ends.
class TXvfb {
 public:
  TXvfb();
  ~TXvfb();
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& Display() const { return FDisplay; }
  // Runs an X client (xdotool, import) on this display.
  std::string Run(const std::string& command, int* status = nullptr) const;

 private:
  std::string FPid, FDisplay;
};

class TDoubleCommander {
 public:
  // Starts it on configDir with its panels on the given folders (none:
  // where it left them); Window() is empty when no main window showed.
  // environment: assignments ("A=b C=d", shell-quoted) it starts with.
  TDoubleCommander(const TXvfb& xvfb, const std::filesystem::path& configDir, const std::string& left = "",
                   const std::string& right = "", const std::string& program = "doublecmd",
                   const std::string& environment = "");
  // Ends it if it is still running (without its configuration written).
  ~TDoubleCommander();
  TDoubleCommander(const TDoubleCommander&) = delete;
  TDoubleCommander& operator=(const TDoubleCommander&) = delete;

  const std::string& Window() const { return FWindow; }
  const std::string& Pid() const { return FPid; }
  bool Running() const;
  // Its output so far (it logs what it loads).
  std::string Log() const;
  // Quits as a user does (Alt+X), so that it writes its configuration;
  // true once the process has ended.
  bool Quit(std::chrono::seconds patience = std::chrono::seconds(20));

 private:
  const TXvfb& FXvfb;
  TTestFolder FFolder;
  std::string FPid, FWindow;
};

// Polls until the condition holds or the time is up; its last answer.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

}  // namespace velmaro::test
