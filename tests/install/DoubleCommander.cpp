#include "DoubleCommander.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "support/CommandRunner.h"

namespace velmaro::test {

using namespace std::chrono_literals;

namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Alive and not merely waiting to be reaped.
bool ProcessAlive(const std::string& pid) {
  if (pid.empty()) return false;
  int status = 0;
  RunCommand("kill -0 " + pid + " 2>/dev/null && ! grep -q '^State:.*Z' /proc/" + pid + "/status", &status);
  return status == 0;
}

}  // namespace

bool DoubleCommanderAvailable(std::string& why) {
  for (const char* tool : {"doublecmd", "Xvfb", "xdotool", "import"}) {
    int status = 0;
    RunCommand(std::string("command -v ") + tool + " >/dev/null 2>&1", &status);
    if (status != 0) {
      why = std::string(tool) + " is not installed (scripts/test installs doublecmd-gtk, xvfb, xdotool, imagemagick)";
      return false;
    }
  }
  return true;
}

std::string VelmaroCommand() {
  // Its own settings and library stay out of the user's folders.
  static const TTestFolder settings;
  return ShellQuoted(VELMARO_BINARY_DIR "/velmaro") + " --plugin " + ShellQuoted(VELMARO_PLUGIN_PATH) + " --ini " +
         ShellQuoted(settings.Path("velmaro.ini"));
}

std::filesystem::path FirstConfiguration(std::string& failure) {
  namespace fs = std::filesystem;
  const fs::path made = VELMARO_BINARY_DIR "/doublecmd-first-config";
  if (fs::exists(made / "doublecmd.xml")) return made;
  // Made aside and renamed into place, so that a test process never reads
  // one that another is still writing.
  const fs::path aside = made.string() + ".new-" + std::to_string(::getpid());
  std::error_code ec;
  fs::remove_all(aside, ec);
  {
    TXvfb xvfb;
    TDoubleCommander host(xvfb, aside);
    if (host.Window().empty() || !host.Quit() || !fs::exists(aside / "doublecmd.xml")) {
      failure = "Double Commander did not start and write its configuration under Xvfb " + xvfb.Display() + ": " +
                host.Log();
      fs::remove_all(aside, ec);
      return {};
    }
  }
  fs::rename(aside, made, ec);  // another process may have been first
  fs::remove_all(aside, ec);
  return made;
}

std::filesystem::path BuiltPackage() {
  const std::string newest =
      Trimmed(RunCommand("ls -t " VELMARO_SOURCE_DIR "/build/package/velmaro_*.deb 2>/dev/null | head -1"));
  return newest;
}

TUnpackedPackage::TUnpackedPackage(const std::filesystem::path& deb) {
  int status = -1;
  FOutput = RunCommand("dpkg -x " + ShellQuoted(deb.string()) + " " + ShellQuoted(FFolder.Path().string()) + " 2>&1",
                       &status);
  FOk = status == 0;
}

TXvfb::TXvfb() {
  // A display number from 50 up that nobody holds. The tests of this
  // program take their numbers one at a time: two servers started on one
  // number at once can each end up without it.
  const int claim = ::open("/tmp/velmaro-install-tests-xvfb.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666);
  if (claim >= 0) ::flock(claim, LOCK_EX);
  for (int attempt = 0; attempt < 40 && FDisplay.empty(); ++attempt) {
    const int number = 50 + (::getpid() + attempt) % 50;
    const std::string display = ":" + std::to_string(number);
    // A server that is ending may still remove its socket after its lock:
    // a number with either left is not free yet.
    if (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
        std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
      continue;
    // -noreset: the server otherwise resets when its last client leaves
    // (the check below), refusing connections for a moment.
    FPid = Trimmed(RunCommand("Xvfb " + display + " -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 </dev/null & echo $!"));
    // The server that holds the number writes its process id into the lock.
    const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
    const auto ours = [&] {
      const std::string holder = ReadAll(lock);
      const auto first = holder.find_first_not_of(' ');
      return first != std::string::npos && Trimmed(holder.substr(first)) == FPid;
    };
    const bool up = WaitFor(
        [&] {
          int status = -1;
          RunCommand("DISPLAY=" + display + " xdotool getdisplaygeometry >/dev/null 2>&1", &status);
          return (status == 0 && ours()) || !ProcessAlive(FPid);
        },
        10s);
    if (up && ProcessAlive(FPid) && ours()) {
      FDisplay = display;
    } else {
      RunCommand("kill " + FPid + " 2>/dev/null");
      FPid.clear();
    }
  }
  if (claim >= 0) ::close(claim);
}

TXvfb::~TXvfb() {
  if (FPid.empty()) return;
  // Gone before the number is given up, so that its cleaning up cannot
  // remove the socket of a server that takes the number next.
  RunCommand("kill " + FPid + " 2>/dev/null");
  if (!WaitFor([&] { return !ProcessAlive(FPid); }, 5s)) RunCommand("kill -9 " + FPid + " 2>/dev/null");
}

std::string TXvfb::Run(const std::string& command, int* status) const {
  return RunCommand("DISPLAY=" + FDisplay + " " + command, status);
}

std::vector<THostBuild> HostBuilds(std::string* missing) {
  std::vector<THostBuild> builds;
  if (RunCommand("command -v doublecmd 2>/dev/null").empty()) {
    if (missing) *missing += "doublecmd-gtk is not installed; ";
  } else {
    builds.push_back({"gtk", "doublecmd"});
  }
  const std::string qt = VELMARO_BINARY_DIR "/doublecmd-qt/usr/lib/doublecmd/doublecmd";
  if (::access(qt.c_str(), X_OK) == 0)
    builds.push_back({"qt", qt});
  else if (missing)
    *missing += "doublecmd-qt is not unpacked in the build folder (scripts/test fetches it); ";
  return builds;
}

TDoubleCommander::TDoubleCommander(const TXvfb& xvfb, const std::filesystem::path& configDir,
                                   const std::string& left, const std::string& right, const std::string& program,
                                   const std::string& environment)
    : FXvfb(xvfb) {
  std::string panels;
  if (!left.empty()) panels += " " + ShellQuoted(left);
  if (!right.empty()) panels += " " + ShellQuoted(right);
  FPid = Trimmed(xvfb.Run("env " + environment + " " + ShellQuoted(program) + " --no-splash " +
                          ShellQuoted("--config-dir=" + configDir.string()) + panels + " >" + FFolder.Path("log") +
                          " 2>&1 </dev/null & echo $!"));
  // The main window's title names the program. A first start shows a small
  // window of that name before the main one, so the window that counts is
  // a visible one of full size.
  WaitFor(
      [&] {
        const std::string ids = xvfb.Run("xdotool search --onlyvisible --pid " + FPid +
                                         " --name '^Double Commander' 2>/dev/null");
        std::istringstream lines(ids);
        for (std::string id; std::getline(lines, id);) {
          const std::string geometry = xvfb.Run("xdotool getwindowgeometry --shell " + id + " 2>/dev/null");
          const auto width = geometry.find("WIDTH=");
          if (width != std::string::npos && std::stoi(geometry.substr(width + 6)) >= 400) {
            FWindow = id;
            return true;
          }
        }
        return !Running();
      },
      60s);
}

TDoubleCommander::~TDoubleCommander() {
  if (Running()) {
    ::kill(std::stoi(FPid), SIGKILL);
    WaitFor([&] { return !Running(); }, 5s);
  }
}

bool TDoubleCommander::Running() const { return ProcessAlive(FPid); }

std::string TDoubleCommander::Log() const { return ReadAll(FFolder.Path("log")); }

bool TDoubleCommander::Quit(std::chrono::seconds patience) {
  if (!Running()) return true;
  // A key sent to a window that has not the focus yet may get lost: ask
  // again until it ends.
  return WaitFor(
      [&] {
        if (!Running()) return true;
        FXvfb.Run("xdotool windowfocus --sync " + FWindow + " key --clearmodifiers alt+x >/dev/null 2>&1");
        return WaitFor([&] { return !Running(); }, 3s);
      },
      patience);
}

}  // namespace velmaro::test
