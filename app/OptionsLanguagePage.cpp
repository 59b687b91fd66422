// SPDX-License-Identifier: GPL-3.0-or-later

#include "OptionsLanguagePage.h"

#include "Main.h"
#include "Translations.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>

// Each language is named in itself, so that it can be found whatever the
// program speaks.
TOptionsLanguagePage::TOptionsLanguagePage(TMainForm& form)
    : m_form(form), m_languages(new QComboBox(this))
{
    m_languages->addItem(tr("The system's language"), QVariant::fromValue(LanguageSetting::System));
    m_languages->addItem(QStringLiteral("English"), QVariant::fromValue(LanguageSetting::English));
    m_languages->addItem(QStringLiteral("Русский"), QVariant::fromValue(LanguageSetting::Russian));
    const LanguageSetting current =
        form.storedSettings().language.inEffect.value_or(LanguageSetting::System);
    m_languages->setCurrentIndex(m_languages->findData(QVariant::fromValue(current)));
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Language:"), m_languages);
}

// The system's language stays unwritten while none was chosen.
void TOptionsLanguagePage::apply()
{
    const auto chosen = m_languages->currentData().value<LanguageSetting>();
    std::optional<LanguageSetting>& inEffect = m_form.storedSettings().language.inEffect;
    if (chosen == inEffect.value_or(LanguageSetting::System))
        return;
    inEffect = chosen;
    installTranslations(*QCoreApplication::instance(), languageLocale(chosen));
}
