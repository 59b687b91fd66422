// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <chrono>

struct CommandLineOptions;

// How copies of the program, and other programs, share a settings file on
// this system. Each system's SettingsFileSharing_<system>.cpp defines it.
//
// Windows: one copy of the program runs per settings file. Two copies on one
// file would each save over the other's settings at the end, and Windows
// refuses to replace a file that another program has open, so their saves
// would fail. A second start brings the first copy's window to the front and
// ends; a copy for a second device names a settings file of its own
// (--settings). A save that finds the file held retries for a while.
//
// POSIX systems: copies are not limited (a service and a window may each
// run), and a save replaces the file with rename(2), which no reader or
// writer holds up.

// Whether this system keeps one copy per settings file, so that its command
// line names the settings file (--settings) and its help says what a second
// start does.
extern const bool OneCopyPerSettingsFile;

// How long a save that another program holds up tries again before it
// fails; zero where nothing can hold it up.
extern const std::chrono::milliseconds OtherWriterWait;

// Claims the settings file for this copy of the program and gives its path:
// the one --settings names (a relative path is taken beside quartzel.ini),
// or empty for the window's usual choice. Where one copy runs per settings
// file and another copy has this one, that copy's window is brought to the
// front and this process ends (exit status 0). On Windows the claim also
// makes the program known to its installer, which waits for every copy to
// end before it replaces or removes the program. Call once, in main(), after
// the application object exists and before the window is created.
QString claimSettingsFile(const CommandLineOptions& options);
