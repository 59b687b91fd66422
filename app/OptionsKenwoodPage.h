// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "OptionsDialog.h"

class QCheckBox;
class QLineEdit;
class TMainForm;

// The options page of the Kenwood profile: on or off, and the identity that
// "ID;" answers with. What it applies is what --kenwood would give, kept as
// that option is kept, and every line answers accordingly at once.
class TOptionsKenwoodPage : public TOptionsPage
{
    Q_OBJECT

public:
    explicit TOptionsKenwoodPage(TMainForm& form);

    QString problem() const override;
    void apply() override;

    QCheckBox* answers() const { return m_answers; }
    QLineEdit* id() const { return m_id; }

private:
    TMainForm& m_form;
    QCheckBox* m_answers;
    QLineEdit* m_id;
};
