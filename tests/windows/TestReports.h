// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the backend reported, as the tests see it. This test-only definition
// of the reporting functions of SystemError.h records the last failure of
// each thread; changes are printed when QUARTZEL_TEST_CHANGES is set.

#include "platform/SystemError.h"

namespace testreports {

// The last failure reported on this thread since the last take or forget; an
// empty `call` when there was none.
serial::SystemError takeFailure();
void forgetFailure();

} // namespace testreports
