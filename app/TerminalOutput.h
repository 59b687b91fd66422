// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Qt's GUI start-up looks into the session's runtime directory for a sandbox
// marker and, where there is no login session (su, a container, a system
// service), warns on standard error that XDG_RUNTIME_DIR is not set. This
// program keeps nothing in that directory, so the warning tells the user
// nothing to act on. From this call on it is left out; every other message
// goes where it went before. Call it before the application object exists.
void silenceRuntimeDirWarning();
