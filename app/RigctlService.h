// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "MainFormRig.h"
#include "RigctlServer.h"

#include <memory>

class TMainForm;
struct CommandLineOptions;

// The listener for the window, as the settings file and the command line
// ask for it; nothing when it is off (the default) or cannot listen. The
// setting in effect, from the command line or else the settings file as the
// window read it at start-up, is put into the window's stored settings
// (TMainForm::storedSettings), which the window writes when it closes; when
// neither names one, nothing is written. A stored setting that cannot be
// read, or an address that cannot be bound, is reported once through
// showErrorMessage; the panel works on without the listener. Must not
// outlive the window.
class TRigctlService
{
public:
    TRigctlService(TMainForm& form, const CommandLineOptions& options);

    const TRigctlServer* server() const { return m_server.get(); }

private:
    TMainFormRig m_rig;
    std::unique_ptr<TRigctlServer> m_server;
};
