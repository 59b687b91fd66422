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

TRigctlMode& TMainFormRig::mode()
{
    return m_form.mode();
}

void TMainFormRig::modeChanged()
{
    m_form.modeChanged();
}

const QString& TMainFormRig::frequencyString() const
{
    return m_form.frequencyString();
}

bool TMainFormRig::div4Mode() const
{
    return m_form.div4Mode();
}
