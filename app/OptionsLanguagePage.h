// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LanguageSetting.h"
#include "OptionsDialog.h"

class QComboBox;
class TMainForm;

// The options page of the language the program speaks: the system's,
// English or Russian. Applied, it is spoken from then on (the window's
// captions stay as the form gives them) and kept.
class TOptionsLanguagePage : public TOptionsPage
{
    Q_OBJECT

public:
    explicit TOptionsLanguagePage(TMainForm& form);

    QString problem() const override { return {}; }
    void apply() override;

    QComboBox* languages() const { return m_languages; }

private:
    TMainForm& m_form;
    QComboBox* m_languages;
};
