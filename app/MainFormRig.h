// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "KenwoodProtocol.h"
#include "RigctlProtocol.h"

class TMainForm;

// The dial of the main window and its mode, as Hamlib's network protocol
// and the Kenwood profile see them. Setting the dial goes through the
// window's one entry, TMainForm::setDial.
class TMainFormRig : public TRigctlRig, public TKenwoodRig
{
public:
    explicit TMainFormRig(TMainForm& form) : m_form(form) {}
    std::optional<std::uint32_t> dialFrequency() const override;
    void setDialFrequency(std::uint32_t hertz) override;
    TRigctlMode& mode() override;
    void modeChanged() override;
    const QString& frequencyString() const override;
    bool div4Mode() const override;

private:
    TMainForm& m_form;
};
