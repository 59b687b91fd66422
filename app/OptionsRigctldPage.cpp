// SPDX-License-Identifier: GPL-3.0-or-later

#include "OptionsRigctldPage.h"

#include "IpAddress.h"
#include "Main.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

TOptionsRigctldPage::TOptionsRigctldPage(TMainForm& form)
    : m_form(form), m_listens(new QCheckBox(tr("Let programs that use Hamlib read and set the "
                                               "frequency (rigctld's protocol)"),
                                            this)),
      m_address(new QLineEdit(this)), m_port(new QSpinBox(this))
{
    const RigctldSetting setting =
        form.storedSettings().rigctld.inEffect.value_or(RigctldSetting{});
    m_listens->setChecked(setting.enabled);
    m_address->setText(setting.address);
    m_port->setRange(1, 65535);
    m_port->setValue(setting.port);
    auto* layout = new QFormLayout(this);
    layout->addRow(m_listens);
    layout->addRow(tr("IP address:"), m_address);
    layout->addRow(tr("Port:"), m_port);
    const auto enableFields = [this](bool on) {
        m_address->setEnabled(on);
        m_port->setEnabled(on);
    };
    connect(m_listens, &QCheckBox::toggled, this, enableFields);
    enableFields(setting.enabled);
}

std::optional<RigctldSetting> TOptionsRigctldPage::shown() const
{
    if (!m_listens->isChecked())
        return RigctldSetting{};
    const std::optional<QString> address = canonicalIpAddress(m_address->text());
    if (!address)
        return std::nullopt;
    return RigctldSetting{true, *address, quint16(m_port->value())};
}

QString TOptionsRigctldPage::problem() const
{
    if (shown())
        return {};
    return tr("'%1' is not an IP address: type one such as 127.0.0.1, 0.0.0.0 or ::1")
        .arg(m_address->text());
}

// Off stays unwritten while nothing was in effect, as without the option; a
// listener whose setting stays keeps its clients.
void TOptionsRigctldPage::apply()
{
    const RigctldSetting setting = *shown();
    if (setting == m_form.storedSettings().rigctld.inEffect.value_or(RigctldSetting{}))
        return;
    CommandLineOptions options;
    options.rigctld = setting;
    m_form.listenForRigctlClients(options);
}
