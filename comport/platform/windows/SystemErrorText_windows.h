// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The system's own words for a Windows error code. No Qt here.

#include <string>

namespace serial {

// What Windows says for `code` (a GetLastError or registry result), in the
// user's language and the ANSI code page, without the full stop and line end
// it ends with (as the system's words are shown inside a sentence);
// "error <code>" when Windows has no text for it.
std::string describeSystemError(int code);

} // namespace serial
