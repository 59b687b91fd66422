// SPDX-License-Identifier: GPL-3.0-or-later

#include "OptionsLinesPage.h"

#include "Main.h"
#include "platform/VirtualPort.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>

TOptionsLinesPage::TOptionsLinesPage(TMainForm& form)
    : m_form(form), m_alsoPorts(new QLineEdit(this)),
      m_reconnect(new QCheckBox(tr("Wait for a port whose device goes away, and open it again "
                                   "when it is back"),
                                this))
{
    const LinesSetting stored = form.storedSettings().lines.value_or(LinesSetting{});
    QStringList entries;
    for (const AlsoPort& port : stored.alsoPorts)
        entries << formatAlsoPort(port);
    m_alsoPorts->setText(entries.join(QStringLiteral(", ")));
    m_alsoPorts->setPlaceholderText(tr("PORT[@BAUD], …"));
    m_reconnect->setChecked(stored.reconnect);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Further ports:"), m_alsoPorts);
    if (serial::virtualPortOpener()) {
        m_pty = new QLineEdit(stored.pty, this);
        m_pty->setPlaceholderText(tr("a link, such as $XDG_RUNTIME_DIR/quartzel-cat"));
        layout->addRow(tr("Own port:"), m_pty);
    }
    layout->addRow(m_reconnect);
}

QList<AlsoPort> TOptionsLinesPage::typedPorts(QString* unreadable) const
{
    QList<AlsoPort> ports;
    for (const QString& entry : m_alsoPorts->text().split(u',', Qt::SkipEmptyParts)) {
        const std::optional<AlsoPort> port = parseAlsoPort(entry.trimmed());
        if (port)
            ports << *port;
        else if (unreadable && unreadable->isEmpty())
            *unreadable = entry.trimmed();
    }
    return ports;
}

QString TOptionsLinesPage::problem() const
{
    QString unreadable;
    typedPorts(&unreadable);
    if (unreadable.isEmpty())
        return {};
    return tr("'%1' is not a further port: type PORT or PORT@BAUD, such as /dev/ttyUSB1@9600")
        .arg(unreadable);
}

// Unchanged, the lines are left alone: they keep their devices and waits.
void TOptionsLinesPage::apply()
{
    const std::optional<LinesSetting>& stored = m_form.storedSettings().lines;
    LinesSetting setting = stored.value_or(LinesSetting{});
    const QList<AlsoPort> ports = typedPorts();
    if (ports != setting.alsoPorts) {
        setting.alsoPorts = ports;
        setting.unreadable.clear();
    }
    if (m_pty)
        setting.pty = m_pty->text().trimmed();
    setting.reconnect = m_reconnect->isChecked();
    if (setting != stored.value_or(LinesSetting{}))
        m_form.applyLines(setting);
}
