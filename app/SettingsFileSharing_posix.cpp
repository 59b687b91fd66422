// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingsFileSharing.h"

const bool OneCopyPerSettingsFile = false;
const std::chrono::milliseconds OtherWriterWait{0};

QString claimSettingsFile(const CommandLineOptions& /*options*/)
{
    return {};
}
