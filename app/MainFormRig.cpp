// SPDX-License-Identifier: GPL-3.0-or-later

#include "MainFormRig.h"

#include "FrequencyRegister.h"
#include "Main.h"

std::optional<std::uint32_t> TMainFormRig::dialFrequency() const
{
    return dialledHertz(m_form.dialledFrequency());
}

void TMainFormRig::setDialFrequency(std::uint32_t hertz)
{
    m_form.setDial(frequencyText(hertz));
}
