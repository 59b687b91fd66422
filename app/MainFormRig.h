// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RigctlProtocol.h"

class TMainForm;

// The dial of the main window, as the protocol sees it.
class TMainFormRig : public TRigctlRig
{
public:
    explicit TMainFormRig(TMainForm& form) : m_form(form) {}
    std::optional<std::uint32_t> dialFrequency() const override;
    void setDialFrequency(std::uint32_t hertz) override;

private:
    TMainForm& m_form;
};
