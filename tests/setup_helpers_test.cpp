// The setup program's pure helpers, each with the cases that its callers meet.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "setup/folders.h"
#include "setup/install_files.h"
#include "setup/install_plan.h"

namespace quenwick {
namespace {

TEST(CompareVersionsTest, OrdersAsNumbersWithNothingOldest) {
  struct Case {
    const char* A;
    const char* B;
    int Order;
  };
  for (const Case& row :
       {Case{"1.0.0", "1.0.0", 0}, Case{"0.9.0", "1.0.0", -1}, Case{"1.10.0", "1.9.0", 1},
        Case{"1.0.10", "1.0.9", 1}, Case{"2.0.0", "10.0.0", -1}, Case{"", "0.0.0", -1},
        Case{"1.0", "1.0.0", -1}, Case{"9.0.0", "", 1}}) {
    EXPECT_EQ(CompareVersions(row.A, row.B), row.Order) << row.A << " " << row.B;
  }
}

TEST(ParentFolderTest, StopsAtTheRootOfADriveOrAShare) {
  struct Case {
    const char* Path;
    const char* Parent;
  };
  for (const Case& row :
       {Case{"C:\\Tools\\Quenwick", "C:\\Tools"}, Case{"C:\\Tools", "C:\\"}, Case{"C:\\", ""},
        Case{"\\\\server\\share\\Quenwick", "\\\\server\\share\\"}, Case{"\\\\server\\share", ""},
        Case{"\\\\server", ""}, Case{"C:\\Tools\\quenwick.exe", "C:\\Tools"}}) {
    EXPECT_EQ(ParentFolder(row.Path), row.Parent) << row.Path;
  }
}

TEST(AbsolutePathTest, IsOnADriveOrAShare) {
  struct Case {
    const char* Path;
    bool Absolute;
  };
  for (const Case& row :
       {Case{"C:\\Quenwick", true}, Case{"c:\\", true}, Case{"\\\\server\\share", true},
        Case{"C:Quenwick", false}, Case{"\\Quenwick", false}, Case{"Tools\\Quenwick", false},
        Case{"\"C:\\Quenwick\"", false}, Case{"", false}}) {
    EXPECT_EQ(IsAbsolutePath(row.Path), row.Absolute) << row.Path;
  }
}

TEST(WindowsLengthTest, CountsUtf16Units) {
  struct Case {
    const char* Path;
    std::size_t Length;
  };
  for (const Case& row : {Case{"C:\\Quenwick", 11}, Case{"C:\\żółw", 7},
                          Case{"C:\\\xF0\x9F\x90\xA2", 5}, Case{"", 0}}) {
    EXPECT_EQ(WindowsLength(row.Path), row.Length) << row.Path;
  }
}

TEST(OwnLeftoverTest, IsOnlyWhatAnInstallLeaves) {
  struct Case {
    const char* Name;
    bool Own;
  };
  for (const Case& row :
       {Case{"quenwick.exe.new", true}, Case{"Quenwick.exe.OLD", true},
        Case{"uninstall.exe.new", true}, Case{"data.dat.4242.tmp", true},
        Case{"data.dat.4294967295.tmp", true}, Case{"data.dat.4294967296.tmp", false},
        Case{"data.dat.backup.tmp", false}, Case{"data.dat..tmp", false},
        Case{"data.dat.new", false}, Case{"quenwick.exe", false}, Case{"notes.txt.old", false}}) {
    EXPECT_EQ(IsOwnLeftover(row.Name), row.Own) << row.Name;
  }
}

TEST(ProcessIdInTest, ReadsTheIdBetweenPrefixAndSuffix) {
  EXPECT_EQ(ProcessIdIn("Quenwick-uninstall-77.exe", "Quenwick-uninstall-", ".exe"), 77u);
  EXPECT_EQ(ProcessIdIn("quenwick-UNINSTALL-77.EXE", "Quenwick-uninstall-", ".exe"), 77u);
  for (const char* name : {"Quenwick-uninstall-.exe", "Quenwick-uninstall--1.exe",
                           "Quenwick-uninstall-7a.exe", "Quenwick-uninstall-77.txt"}) {
    EXPECT_EQ(ProcessIdIn(name, "Quenwick-uninstall-", ".exe"), std::nullopt) << name;
  }
}

}  // namespace
}  // namespace quenwick
