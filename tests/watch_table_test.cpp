// The watch table's indexing and the watched paths built from the Windows directory.
#include "check/watch_table.h"

#include <stdexcept>
#include <string>

#include "named_case.h"
#include "platform_double.h"

namespace quenwick {
namespace {

using WatchTableTest = CheckTest;

TEST_F(WatchTableTest, ColumnsAreIndexedOneToFour) {
  WatchTable.CurrentSizes[1] = 11;
  WatchTable.CurrentSizes[4] = 44;
  EXPECT_EQ(WatchTable.CurrentSizes.Entries.front(), 11);
  EXPECT_EQ(WatchTable.CurrentSizes.Entries.back(), 44);
  EXPECT_THROW(WatchTable.CurrentSizes[0], std::out_of_range);
  EXPECT_THROW(WatchTable.CurrentSizes[5], std::out_of_range);
}

struct DirectoryCase : NamedCase {
  std::string windowsDirectory;  // as GetWindowsDirectoryA gives it, in ANSI bytes
  std::string expected;
};

class WindowsDirectoryTest : public CheckTest,
                             public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(WindowsDirectoryTest, EndsInExactlyOneBackslash) {
  Platform.WindowsDirectory = GetParam().windowsDirectory;
  EXPECT_EQ(WindowsDirectoryWithSeparator(), GetParam().expected);
}

const std::string LongDirectory = "D:\\" + std::string(300, 'w');

INSTANTIATE_TEST_SUITE_P(
    Directories, WindowsDirectoryTest,
    ::testing::Values(DirectoryCase{"Plain", "C:\\WINDOWS", "C:\\WINDOWS\\"},
                      DirectoryCase{"DriveRoot", "C:\\", "C:\\"},
                      DirectoryCase{"FailedCallGivesLoneBackslash", "", "\\"},
                      DirectoryCase{"LongerThanFirstBuffer", LongDirectory, LongDirectory + "\\"},
                      DirectoryCase{"AnsiBytesBecomeUtf8", "C:\\Okna\xB3", "C:\\Okna\xC2\xB3\\"}),
    ::testing::PrintToStringParamName());

TEST_F(WatchTableTest, WatchListAppendsTheFourNamesInOrder) {
  BuildWatchList();
  EXPECT_EQ(WatchTable.FilePaths, (WatchColumn<std::string>{{
                                      "C:\\WINDOWS\\hosts",
                                      "C:\\WINDOWS\\hosts.sam",
                                      "C:\\WINDOWS\\system32\\drivers\\etc\\hosts",
                                      "C:\\WINDOWS\\system32\\drivers\\etc\\hosts.sam",
                                  }}));
}

TEST_F(WatchTableTest, WatchListUnderFailedDirectoryStartsWithBackslash) {
  Platform.WindowsDirectory.clear();
  BuildWatchList();
  EXPECT_EQ(WatchTable.FilePaths[1], "\\hosts");
  EXPECT_EQ(WatchTable.FilePaths[4], "\\system32\\drivers\\etc\\hosts.sam");
}

}  // namespace
}  // namespace quenwick
