// The setup program's transaction against the double: each kind of install and of uninstall,
// failed at every platform call in turn and cut off at every call and every stop point. A failure
// changes nothing; after a cut-off, the next run finishes the install, or the uninstall removes it.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "setup_runs.h"

namespace quenwick {
namespace {

const char* const Stops[] = {"marked",
                             "probing",
                             "written",
                             "uninstaller-swapped",
                             "record",
                             "entry",
                             "shortcut",
                             "others-set-aside",
                             "program-swapped",
                             "version-registered",
                             "old-programs-removed",
                             "folders-left"};

struct Kind {
  const char* Name;
  std::function<void()> Arrange;
  std::string Program;  // "" for the setup program
  std::string Arguments;
  std::string Folder;  // where the install is once the run is done, "" for nowhere
  std::string Record;
};

const Kind Kinds[] = {
    {"FirstInstall", [] {}, "", "/S", Default, ""},
    {"Repair",
     [] {
       Installed(Default, SetupVersion, Record);
       System.Files.erase(Default + "\\uninstall.exe");
     },
     "", "/S", Default, Record},
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
    std::vector<std::string> expected{"quenwick.exe", "uninstall.exe"};
    if (!kind.Record.empty()) expected.insert(expected.begin(), "data.dat");
    EXPECT_EQ(Names(kind.Folder), expected);
    EXPECT_EQ(System.Files[kind.Folder + "\\quenwick.exe"].Bytes,
              std::string("quenwick ") + SetupVersion);
    if (!kind.Record.empty()) {
      EXPECT_EQ(System.Files[kind.Folder + "\\data.dat"].Bytes, kind.Record);
    }
    EXPECT_EQ(System.Files[Shortcut].Bytes, "-> " + kind.Folder + "\\quenwick.exe");
    RegistryValues& entry = System.Registry[Key];
    EXPECT_EQ(std::get<std::string>(entry["InstallLocation"]), kind.Folder);
    EXPECT_EQ(std::get<std::string>(entry["DisplayVersion"]), SetupVersion);
    EXPECT_FALSE(entry.contains("MovingTo"));
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

TEST_P(SetupTransactionTest, CutOffAnywhereIsFinishedByTheNextRun) {
  const int calls = CallsOfAWholeRun();
  const int stops = static_cast<int>(std::size(Stops));
  for (int cutAt = 1; cutAt <= calls + stops; ++cutAt) {
    cutAt <= calls ? RunCutOff(cutAt) : RunCutOff(0, Stops[cutAt - calls - 1]);
    ASSERT_EQ(RunKind(), 0) << "cut off at " << cutAt;
    ExpectDone();
    if (HasFailure()) FAIL() << "cut off at call " << cutAt << "\n" << System.State();
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
