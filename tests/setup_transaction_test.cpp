// The setup program's transaction against the double: each kind of install and the uninstall,
// failed at every platform call in turn and cut off at every call and every stop point. A failure
// changes nothing; after a cut-off, the next run finishes the install, or the uninstall removes it.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "setup/install_state.h"
#include "setup/setup_entry.h"
#include "setup/setup_names.h"
#include "setup/setup_version.h"
#include "setup_platform_double.h"

namespace quenwick {
namespace {

const std::string Key(UninstallKey);
const std::string Default = "C:\\Users\\u\\AppData\\Local\\Programs\\Quenwick";
const std::string Moved = "C:\\Tools\\Quenwick";
const std::string Shortcut = "C:\\Users\\u\\Startup\\Quenwick.lnk";
const std::string Record = "-1\r\n-1\r\n734\r\n-1\r\n";
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

// Runs the setup program with arguments, as a fresh process; a run cut off gives 99.
int RunSetup(const std::string& arguments) {
  Setup = {};
  System.Arguments = arguments;
  System.Calls = 0;
  try {
    return SetupEntry();
  } catch (const CutOff&) {
    return 99;
  }
}

// A whole install of version in folder, made as this setup program makes one, with record.
void Installed(const std::string& folder, const std::string& version, const std::string& record) {
  ASSERT_EQ(RunSetup("/S /D=" + folder), 0);
  System.Files[folder + "\\quenwick.exe"].Bytes = "quenwick " + version;
  System.Registry[Key]["DisplayVersion"] = version;
  if (!record.empty()) System.Files[folder + "\\data.dat"] = {false, record, false};
}

struct Kind {
  const char* Name;
  std::function<void()> Arrange;
  std::string Arguments;
  std::string Folder;  // where the install is once the run is done, "" for nowhere
  std::string Record;
};

const Kind Kinds[] = {
    {"FirstInstall", [] {}, "/S", Default, ""},
    {"Repair",
     [] {
       Installed(Default, SetupVersion, Record);
       System.Files.erase(Default + "\\uninstall.exe");
     },
     "/S", Default, Record},
    {"Upgrade", [] { Installed(Default, "0.9.0", Record); }, "/S", Default, Record},
    {"Move", [] { Installed(Default, "0.9.0", Record); }, "/S /D=" + Moved, Moved, Record},
    {"Uninstall", [] { Installed(Moved, SetupVersion, Record); }, "/S /Uninstall", "", ""},
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.Name; }

class SetupTransactionTest : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    ResetSystem();
    GetParam().Arrange();
    Before = System.State();
  }

  // Whether the run's end is as its kind says: a whole install, or nothing left of Quenwick's.
  void ExpectDone() {
    const Kind& kind = GetParam();
    for (const std::string& folder : {Default, Moved}) {
      if (folder == kind.Folder) continue;
      EXPECT_FALSE(System.Files.contains(folder)) << folder << " left";
    }
    if (kind.Folder.empty()) {
      EXPECT_FALSE(System.Registry.contains(Key));
      EXPECT_FALSE(System.Files.contains(Shortcut));
      EXPECT_FALSE(System.Files.contains("C:\\Users\\u\\AppData\\Local\\Programs"));
      return;
    }
    std::vector<std::string> names;
    for (const auto& [path, entry] : System.Files) {
      if (path.starts_with(kind.Folder + "\\"))
        names.push_back(path.substr(kind.Folder.size() + 1));
    }
    std::vector<std::string> expected{"quenwick.exe", "uninstall.exe"};
    if (!kind.Record.empty()) expected.insert(expected.begin(), "data.dat");
    EXPECT_EQ(names, expected);
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
    EXPECT_EQ(RunSetup(GetParam().Arguments), 0);
    return System.Calls;
  }

  // A fresh start, and a run cut off at that call, or at that stop point.
  void RunCutOff(int call, const char* stop = nullptr) {
    SetUp();
    System.CutAt = call;
    if (stop) System.StopAt = stop;
    RunSetup(GetParam().Arguments);
    System.CutAt = 0;
    System.StopAt.reset();
  }

  decltype(System.State()) Before;
};

TEST_P(SetupTransactionTest, SucceedsWhole) {
  EXPECT_EQ(RunSetup(GetParam().Arguments), 0);
  ExpectDone();
}

TEST_P(SetupTransactionTest, AnyFailedCallChangesNothing) {
  const int calls = CallsOfAWholeRun();
  for (int failAt = 1; failAt <= calls; ++failAt) {
    SetUp();
    System.FailAt = failAt;
    const int exitCode = RunSetup(GetParam().Arguments);
    System.FailAt = 0;
    if (exitCode == 0 || GetParam().Folder.empty()) {
      // Past the commit the install is whole, and the next run lets go of what is left; a removal
      // that failed leaves what it could not remove, for the next to remove.
      ASSERT_EQ(RunSetup(GetParam().Arguments), 0) << "call " << failAt;
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
    ASSERT_EQ(RunSetup(GetParam().Arguments), 0) << "cut off at " << cutAt;
    ExpectDone();
    if (HasFailure()) FAIL() << "cut off at call " << cutAt;
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

INSTANTIATE_TEST_SUITE_P(EachKind, SetupTransactionTest, ::testing::ValuesIn(Kinds),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace quenwick
