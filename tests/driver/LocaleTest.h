#pragma once
// A locale whose decimal separator is a comma, for the numeric-locale tests.
// The machine may have none installed: the build then compiles one, found
// through LOCPATH.

#include <string>

// The name of such a locale ("fr_FR.UTF-8"), or empty when none can be had.
std::string LocaleVirgule();

// 1.5 formatted by the calling thread's current numeric conventions ("1.5" or "1,5").
std::string FormaterUnEtDemi();
