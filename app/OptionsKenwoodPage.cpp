// SPDX-License-Identifier: GPL-3.0-or-later

#include "OptionsKenwoodPage.h"

#include "KenwoodSetting.h"
#include "Main.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {
QString idInEffect(const KenwoodSettings& stored)
{
    return stored.id.inEffect.value_or(QString::fromLatin1(KenwoodDefaultId));
}
} // namespace

TOptionsKenwoodPage::TOptionsKenwoodPage(TMainForm& form)
    : m_form(form), m_answers(new QCheckBox(tr("Answer as a Kenwood radio does (ID;, FA;, AI; …) "
                                               "for a device or program that speaks Kenwood CAT"),
                                            this)),
      m_id(new QLineEdit(this))
{
    const KenwoodSettings& stored = form.storedSettings().kenwood;
    m_answers->setChecked(stored.enabled.inEffect.value_or(false));
    m_id->setText(idInEffect(stored));
    m_id->setMaxLength(3);
    auto* layout = new QFormLayout(this);
    layout->addRow(m_answers);
    layout->addRow(tr("Identity (ID;):"), m_id);
    connect(m_answers, &QCheckBox::toggled, m_id, &QWidget::setEnabled);
    m_id->setEnabled(m_answers->isChecked());
}

QString TOptionsKenwoodPage::problem() const
{
    if (!m_answers->isChecked() || parseKenwoodId(m_id->text()))
        return {};
    return tr("'%1' is not a Kenwood identity: type three digits, such as 019 for a TS-2000")
        .arg(m_id->text());
}

// A key is written only once it differs from what is in effect, as the
// command line's option does: off stays unwritten while nothing was set.
void TOptionsKenwoodPage::apply()
{
    KenwoodSettings& stored = m_form.storedSettings().kenwood;
    const bool enabled = m_answers->isChecked();
    bool changed = false;
    if (enabled != stored.enabled.inEffect.value_or(false)) {
        stored.enabled.inEffect = enabled;
        changed = true;
    }
    if (enabled && m_id->text() != idInEffect(stored)) {
        stored.id.inEffect = m_id->text();
        changed = true;
    }
    if (changed)
        m_form.applyKenwoodProfile();
}
