// The baseline file "data.dat" beside the program: the sizes that the previous run measured.
// Loading fills SavedSizes; saving records CurrentSizes for the next run.
#pragma once

#include <string>
#include <string_view>

namespace quenwick {

// Shown when there is no usable baseline: the first run, or one after the file was deleted.
inline constexpr std::string_view FirstRunNotice =
    "Program został po raz pierwszy uruchomiony, albo ktoś skasował kilka plików :-)";

// Where the baseline file lives, computed afresh for each open.
std::string BaselinePath();

// Sets every SavedSizes entry from the baseline file. When the file is missing, unreadable or
// damaged, shows the FirstRunNotice once and sets every entry to SizeUnknown.
void LoadBaseline();

// Replaces the baseline file with CurrentSizes. Throws a StepFailure on failure, leaving the old
// file whole.
void SaveBaseline();

}  // namespace quenwick
