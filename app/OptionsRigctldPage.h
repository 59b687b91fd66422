// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "OptionsDialog.h"
#include "RigctldSetting.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;
class TMainForm;

// The options page of the rigctld listener: off, or an IP address and a
// port. What it applies is what --rigctld would give (TMainForm::
// listenForRigctlClients), kept as that option is kept.
class TOptionsRigctldPage : public TOptionsPage
{
    Q_OBJECT

public:
    explicit TOptionsRigctldPage(TMainForm& form);

    QString problem() const override;
    void apply() override;

    QCheckBox* listens() const { return m_listens; }
    QLineEdit* address() const { return m_address; }
    QSpinBox* port() const { return m_port; }

private:
    // What the page shows, when it reads.
    std::optional<RigctldSetting> shown() const;

    TMainForm& m_form;
    QCheckBox* m_listens;
    QLineEdit* m_address;
    QSpinBox* m_port;
};
