// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Pure mappings between the device's records and the Win32 ones: the line
// settings (a DCB, whose flags are bit-fields), the time-outs, and the reason
// an open failed. No state and no system calls; each is tested on its own.

#include "platform/SerialDevice.h"

#include <windows.h>

namespace serial::detail {

// The DCB that SetCommState takes for `dcb`: every flag of `dcb.flags` set
// through its own bit-field, so that the compiler's layout of the packed word
// decides where it lands; DCBlength is the record's size.
DCB winDcb(const Dcb& dcb);

// The COMMTIMEOUTS of `timeouts`, field by field.
COMMTIMEOUTS winTimeouts(const CommTimeouts& timeouts);

// Why CreateFileA failed, from its GetLastError code: the one place where a
// Windows error becomes the reason an open failed.
OpenError openErrorFromCode(DWORD code);

// True when a call on an open port failed with `code` because the device has
// gone (an adapter pulled out, a line hung up), so that every later call
// fails as well.
bool deviceGoneError(DWORD code);

} // namespace serial::detail
