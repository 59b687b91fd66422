// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's port panel: connecting and disconnecting, the rate and
// the modem lines the operator sets, the line lamps, and the panel's return
// to its closed state when the port stops delivering events.

#include "Main.h"

#include "Application.h"
#include "BCPort.h"
#include "Lines.h"
#include "Reconnect.h"
#include "SerialPorts.h"
#include "TransparentBitmap.h"
#include "ui_Main.h"

#include <QApplication>

namespace {

constexpr int lastBaudRateIndex = 14;

// A bitmap of the program's own resources, by name, for a screen of `ratio`
// device pixels to a pixel. The lamps are drawn transparently.
QPixmap loadTransparentBitmap(const QString& name, qreal ratio)
{
    const QImage bitmap(QStringLiteral(":/bitmaps/") + name);
    return QPixmap::fromImage(bitmapForDevice(transparentBitmap(bitmap, bitmap.rect()), ratio));
}

void setBackground(QWidget* widget, QPalette::ColorRole role)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(role));
    widget->setPalette(palette);
}

} // namespace

void TMainForm::btnConnectClick(QObject*)
{
    m_BComPort1->setPort(ui->cbPort->currentText());
    // With no rate selected (a stored index outside the list) the port keeps
    // the rate it has.
    const int rateIndex = ui->cbBaudRate->currentIndex();
    if (rateIndex >= 0 && rateIndex <= lastBaudRateIndex)
        m_BComPort1->setBaudRate(static_cast<TBaudRate>(rateIndex));
    // A port that cannot be opened raises: Open never returns false.
    m_BComPort1->Open();
    ui->Edit1->setEnabled(true);
    setBackground(ui->Edit1, QPalette::Base);
    ui->btnConnect->setEnabled(false);
    ui->cbPort->setEnabled(false);
    ui->btnDisconnect->setEnabled(true);
    ui->cbSetDTR->setEnabled(true);
    ui->cbSetDTR->setChecked(true);
    ui->cbSetRTS->setEnabled(true);
    ui->cbSetRTS->setChecked(true);
    ui->btnSend->setEnabled(true);
    ui->cbCRLF->setEnabled(true);
    showModemState();
    m_lines->open(m_BComPort1->BaudRate());
}

// A port that waits for its device is closed already; Disconnect ends the
// wait.
void TMainForm::btnDisconnectClick(QObject*)
{
    m_lines->close();
    const bool waited = m_BComPort1Return->waiting();
    m_BComPort1Return->cancel();
    if (!m_BComPort1->Close() && !waited)
        return;
    showPanelClosed();
}

// The panel stayed as it was while the port waited; the modem lines take
// the check boxes' states again.
void TMainForm::showPanelReopened()
{
    m_BComPort1->SetDTR(ui->cbSetDTR->isChecked());
    m_BComPort1->SetRTS(ui->cbSetRTS->isChecked());
    showModemState();
}

void TMainForm::RefreshPortList()
{
    QStringList systemPorts;
    ListSerialPorts(systemPorts, m_setup.portListRoot);
    std::optional<QString> selected;
    if (ui->cbPort->currentIndex() >= 0)
        selected = ui->cbPort->currentText();
    const RefreshedPortList list = refreshPortList(systemPorts, selected, m_setup.options);
    showPortList(list.ports, list.selected);
    m_commandLinePortIndex = list.commandLinePort;
}

QStringList TMainForm::portListItems() const
{
    QStringList ports;
    for (int i = 0; i < ui->cbPort->count(); ++i)
        ports << ui->cbPort->itemText(i);
    return ports;
}

// An unchanged list is left alone, so that a list the operator has open stays open.
void TMainForm::showPortList(const QStringList& ports, int selected)
{
    if (ports != portListItems()) {
        ui->cbPort->clear();
        ui->cbPort->addItems(ports);
    }
    ui->cbPort->setCurrentIndex(selected);
}

void TMainForm::showModemState()
{
    ShowCTS(m_BComPort1->ModemState().testFlag(TModemLine::mlCTS));
    ShowDSR(m_BComPort1->ModemState().testFlag(TModemLine::mlDSR));
    ShowRLSD(m_BComPort1->ModemState().testFlag(TModemLine::mlRLSD));
}

void TMainForm::showPanelClosed()
{
    ui->btnConnect->setEnabled(true);
    ui->cbPort->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{ui->btnDisconnect, ui->cbSetDTR, ui->cbSetRTS,
                                                      ui->btnSend, ui->cbCRLF, ui->Edit1})
        w->setEnabled(false);
    setBackground(ui->Edit1, QPalette::Button);
    ShowCTS(false);
    ShowDSR(false);
    ShowRLSD(false);
}

void TMainForm::cbBaudRateChange(QObject*)
{
    const int rateIndex = ui->cbBaudRate->currentIndex();
    m_BComPort1->setBaudRate(static_cast<TBaudRate>(rateIndex));
    m_baudRateIndex = rateIndex;
}

void TMainForm::cbSetRTSClick(QObject*)
{
    m_BComPort1->SetRTS(ui->cbSetRTS->isChecked());
}
void TMainForm::cbSetDTRClick(QObject*)
{
    m_BComPort1->SetDTR(ui->cbSetDTR->isChecked());
}

void TMainForm::BComPort1CTSChange(QObject*, bool State)
{
    ShowCTS(State);
}
void TMainForm::BComPort1DSRChange(QObject*, bool State)
{
    ShowDSR(State);
}
void TMainForm::BComPort1RLSDChange(QObject*, bool State)
{
    ShowRLSD(State);
}

// The reason is shown as any other error; none when it has been shown already.
// With reconnecting on, the port waits for its device instead, and the panel
// stays as it is until Disconnect.
void TMainForm::BComPort1EventsStopped(QObject*, const std::exception_ptr& reason)
{
    if (m_lines->reconnect()) {
        m_BComPort1Return->awaitDevice(reason ? errorMessage(reason).detail : QString());
        ShowCTS(false);
        ShowDSR(false);
        ShowRLSD(false);
        return;
    }
    if (m_BComPort1->Close())
        showPanelClosed();
    if (reason)
        std::rethrow_exception(reason);
}

// The line lamps load the bitmap "On" or "Off" by name.
void TMainForm::showLamp(QLabel* lamp, bool lit)
{
    lamp->setPixmap(loadTransparentBitmap(lit ? QStringLiteral("On") : QStringLiteral("Off"),
                                          lamp->devicePixelRatioF()));
    describeLamp(lamp, lit);
}

void TMainForm::ShowCTS(bool lit)
{
    showLamp(ui->Image1, lit);
}

void TMainForm::ShowDSR(bool lit)
{
    showLamp(ui->Image2, lit);
}

void TMainForm::ShowRLSD(bool lit)
{
    showLamp(ui->Image3, lit);
}
