// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the tests of the main window.

#include "AdvSpin.h"
#include "Main.h"

#include <QString>

// What the digit controls show, highest first, composed or not.
inline QString digitTexts(const TMainForm& form)
{
    QString texts;
    for (int i = 1; i <= FrequencyDigitCount; ++i)
        texts += form.digit(i)->text();
    return texts;
}
