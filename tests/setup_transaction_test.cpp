// The setup program's transaction against the double: each kind of install and of uninstall,
// failed at every platform call in turn and cut off at every call and every stop point. A failure
// changes nothing; after a cut-off, the next run finishes the install, or the uninstall removes it.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "setup/install_plan.h"
#include "setup/install_steps.h"
#include "setup_runs.h"

namespace quenwick {
namespace {

const std::vector<std::string> Stops = StopPoints();

struct Kind {
  const char* Name;
  std::function<void()> Arrange;
  std::string Program;  // "" for the setup program
  std::string Arguments;
  std::string Folder;  // where the install is once the run is done, "" for nowhere
  std::string Record;
  // Whether a detection says "installed" before the run: a repair's does, of an install that the
  // user broke.
  bool InstalledBefore = false;
};

const Kind Kinds[] = {
    {"FirstInstall", [] {}, "", "/S", Default, ""},
    {"Repair",
     [] {
       Installed(Default, SetupVersion, Record);
       System.Files.erase(Default + "\\uninstall.exe");
     },
     "", "/S", Default, Record, true},
    {"Upgrade", [] { Installed(Default, "0.9.0", Record); }, "", "/S", Default, Record},
    {"Move", [] { Installed(Default, "0.9.0", Record); }, "", "/S /D=" + Moved, Moved, Record},
    {"Uninstall", [] { Installed(Moved, SetupVersion, Record); }, "", "/S /Uninstall", "", ""},
    {"Uninstaller", [] { Installed(Default, SetupVersion, Record); }, Default + "\\uninstall.exe",
     "/S", "", ""},
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.Name; }

class SetupTransactionTest : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    ResetSystem();
    GetParam().Arrange();
    Before = System.State();
  }

  // Runs the kind's command line, or after it has removed its own program, the setup program's
  // /Uninstall, as the uninstall script does.
  int RunKind() {
    const Kind& kind = GetParam();
    if (kind.Program.empty()) return RunSetup(kind.Arguments);
    return Find(kind.Program) ? RunProgram(kind.Program, kind.Arguments)
                              : RunSetup("/S /Uninstall");
  }

  // Whether the run's end is as its kind says: a whole install, or nothing left of Quenwick's.
  void ExpectDone() {
    const Kind& kind = GetParam();
    for (const std::string& folder : {Default, Moved}) {
      if (folder == kind.Folder) continue;
      EXPECT_FALSE(System.Files.contains(folder)) << folder << " left";
    }
    EXPECT_EQ(Names(Temp), std::vector<std::string>{}) << "a copy of the uninstaller left";
    if (kind.Folder.empty()) {
      EXPECT_FALSE(System.Registry.contains(Key));
      EXPECT_FALSE(System.Files.contains(Shortcut));
      EXPECT_FALSE(System.Files.contains(Programs));
      return;
    }
    ExpectInstalledFiles(kind.Folder, kind.Record);
    EXPECT_EQ(System.Files[Shortcut].Bytes, "-> " + kind.Folder + "\\quenwick.exe");
    RegistryValues& entry = System.Registry[Key];
    EXPECT_EQ(std::get<std::string>(entry["InstallLocation"]), kind.Folder);
    EXPECT_EQ(std::get<std::string>(entry["DisplayVersion"]), SetupVersion);
    EXPECT_FALSE(entry.contains("MovingTo"));
  }

  // Each detection that the guide gives says "installed" only of a whole install: the file rule,
  // quenwick.exe of at least this version in a folder, and the registry rule, the entry's
  // DisplayVersion, at least this version, of the folder that it names. Whole is judged here by
  // what each file holds, so that a file whose bytes a lost power took is not whole: this
  // version's program and its uninstaller, the shortcut that starts that program, and the entry
  // that names the folder, whose version the registry rule waits for.
  void ExpectDetectionTrue(const std::string& when) {
    const auto whole = [](const std::string& folder) {
      RegistryValues& entry = System.Registry[Key];
      const auto* location = std::get_if<std::string>(&entry["InstallLocation"]);
      return System.Files[folder + "\\quenwick.exe"].Bytes ==
                 std::string("quenwick ") + SetupVersion &&
             System.Files[folder + "\\uninstall.exe"].Bytes == "setup" &&
             System.Files[Shortcut].Bytes == "-> " + folder + "\\quenwick.exe" && location &&
             *location == folder;
    };
    for (const std::string& folder : {Default, Moved}) {
      const SetupDouble::Entry* program = Find(folder + "\\quenwick.exe");
      if (program &&
          CompareVersions(program->Bytes.substr(program->Bytes.find(' ') + 1), SetupVersion) >= 0 &&
          program->Bytes.starts_with("quenwick ")) {
        EXPECT_TRUE(whole(folder)) << "the file rule says installed in " << folder << " " << when;
      }
    }
    const auto registry = System.Registry.find(Key);
    if (registry == System.Registry.end()) return;
    const auto* version = std::get_if<std::string>(&registry->second["DisplayVersion"]);
    const auto* location = std::get_if<std::string>(&registry->second["InstallLocation"]);
    if (version && CompareVersions(*version, SetupVersion) >= 0) {
      EXPECT_TRUE(location && whole(*location)) << "the registry rule says installed " << when;
    }
  }

  // The platform calls of a run of this kind that nothing stops.
  int CallsOfAWholeRun() {
    EXPECT_EQ(RunKind(), 0);
    return System.Calls;
  }

  // A fresh start, and a run cut off at that call, or at that stop point.
  void RunCutOff(int call, const char* stop = nullptr) {
    SetUp();
    System.CutAt = call;
    if (stop) System.StopAt = stop;
    RunKind();
    System.CutAt = 0;
    System.StopAt.reset();
  }

  decltype(System.State()) Before;
};

TEST_P(SetupTransactionTest, SucceedsWhole) {
  EXPECT_EQ(RunKind(), 0);
  ExpectDone();
}

TEST_P(SetupTransactionTest, AnyFailedCallChangesNothing) {
  const int calls = CallsOfAWholeRun();
  for (int failAt = 1; failAt <= calls; ++failAt) {
    SetUp();
    System.FailAt = failAt;
    const int exitCode = RunKind();
    System.FailAt = 0;
    if (exitCode == 0 || GetParam().Folder.empty()) {
      // Past the commit the install is whole, and the next run lets go of what is left; a removal
      // that failed leaves what it could not remove, for the next to remove.
      ASSERT_EQ(RunKind(), 0) << "call " << failAt;
      ExpectDone();
    } else {
      EXPECT_EQ(System.State(), Before) << "call " << failAt << " failed, exit code " << exitCode;
    }
  }
}

// A run cut off anywhere, with the power lost or not, never makes a detection say "installed" of
// an install that is not whole; and the next run finishes it, every file as it should be.
TEST_P(SetupTransactionTest, CutOffAnywhereIsFinishedByTheNextRunAndDetectionTellsTheTruth) {
  const bool install = !GetParam().InstalledBefore && !GetParam().Folder.empty();
  const int calls = CallsOfAWholeRun();
  const int stops = static_cast<int>(std::size(Stops));
  for (const bool lostPower : {false, true}) {
    for (int cutAt = 1; cutAt <= calls + stops; ++cutAt) {
      cutAt <= calls ? RunCutOff(cutAt) : RunCutOff(0, Stops[cutAt - calls - 1].c_str());
      if (lostPower) CutPower();
      const std::string when = "cut off at " +
                               (cutAt <= calls ? "call " + std::to_string(cutAt)
                                               : "stop point " + Stops[cutAt - calls - 1]) +
                               (lostPower ? " by a lost power" : "");
      if (install) ExpectDetectionTrue(when);
      ASSERT_EQ(RunKind(), 0) << when;
      ExpectDone();
      if (HasFailure()) FAIL() << when << "\n" << System.State();
    }
  }
}

TEST_P(SetupTransactionTest, CutOffAnywhereIsRemovedByTheUninstall) {
  const int calls = CallsOfAWholeRun();
  for (int cutAt = 1; cutAt <= calls; ++cutAt) {
    RunCutOff(cutAt);
    ASSERT_EQ(RunSetup("/S /Uninstall"), 0) << "cut off at " << cutAt;
    for (const std::string& folder : {Default, Moved}) {
      EXPECT_FALSE(System.Files.contains(folder + "\\quenwick.exe")) << cutAt;
    }
    EXPECT_FALSE(System.Registry.contains(Key)) << cutAt;
    EXPECT_FALSE(System.Files.contains(Shortcut)) << cutAt;
  }
}

INSTANTIATE_TEST_SUITE_P(EachKind, SetupTransactionTest, ::testing::ValuesIn(Kinds),
                         [](const auto& info) { return std::string(info.param.Name); });

// A switch that a deployment tool appends, wherever /S stands, changes nothing and shows nothing.
TEST(SetupArgumentsTest, UnknownArgumentIsRefusedSilentlyWherever) {
  for (const char* arguments : {"/norestart /S", "/S /norestart", "/S /D=Tools\\Quenwick"}) {
    ResetSystem();
    const std::string before = System.State();
    EXPECT_EQ(RunSetup(arguments), 87) << arguments;
    EXPECT_EQ(System.State(), before) << arguments;
    EXPECT_EQ(System.Messages, 0) << arguments;
  }
}

}  // namespace
}  // namespace quenwick
