// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LineSetting.h"
#include "OptionsDialog.h"

class QCheckBox;
class QLineEdit;
class TMainForm;

// The options page of the lines beside the panel's: the further ports, the
// program's own port (where the system has them) and reconnecting. What it
// applies is what --also-port, --pty and --reconnect would give, kept as
// they are kept; the lines are made anew at once, and open at once while
// the panel's port is open.
class TOptionsLinesPage : public TOptionsPage
{
    Q_OBJECT

public:
    explicit TOptionsLinesPage(TMainForm& form);

    QString problem() const override;
    void apply() override;

    QLineEdit* alsoPorts() const { return m_alsoPorts; }
    QLineEdit* pty() const { return m_pty; }
    QCheckBox* reconnect() const { return m_reconnect; }

private:
    // The entries as typed, each read as --also-port reads it; the first
    // that does not read is given in `unreadable`.
    QList<AlsoPort> typedPorts(QString* unreadable = nullptr) const;

    TMainForm& m_form;
    QLineEdit* m_alsoPorts;
    QLineEdit* m_pty = nullptr; // none where the system has no ports of the program's own
    QCheckBox* m_reconnect;
};
