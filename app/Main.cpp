// SPDX-License-Identifier: GPL-3.0-or-later

#include "Main.h"

#include "AdvSpin.h"
#include "Application.h"
#include "BCPort.h"
#include "Convert.h"
#include "IniFile.h"
#include "Lines.h"
#include "PortListWatch.h"
#include "Reconnect.h"
#include "SerialPorts.h"
#include "SettingsLocation.h"
#include "ui_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QProcessEnvironment>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <array>
#include <cstdlib>
#include <utility>

namespace {

constexpr int timer1Interval = 250;                        // ms, the lamp's grid from start
constexpr QLatin1StringView defaultFrequency{"014070000"}; // 14 070 000 Hz
constexpr int defaultBaudRateIndex = 6;                    // 9600

bool isSingleDecimalDigit(const QString& text)
{
    return text.size() == 1 && isDecimalDigit(text[0]);
}

// Sets the label to prefix + text unless it shows that already.
void showAfterPrefix(QLabel* label, QLatin1StringView prefix, auto text)
{
    const QString shown = label->text();
    if (shown.size() != prefix.size() + text.size() || !shown.startsWith(prefix) ||
        !shown.endsWith(text))
        label->setText(prefix + text);
}

// The rotation of a notch, whichever axis it arrives on: X11 turns a notch with Alt held into a
// horizontal one, and tilt wheels and touchpads scroll sideways too.
int wheelDelta(QPoint angleDelta)
{
    return std::abs(angleDelta.x()) > std::abs(angleDelta.y()) ? angleDelta.x() : angleDelta.y();
}

} // namespace

TMainForm::TMainForm(const TMainFormSetup& setup, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::MainForm>()), m_setup(setup)
{
    Q_INIT_RESOURCE(quartzel);
    buildFromForm();
    wireEvents();
    reportErrors([this] { FormCreate(this); });
    reportErrors([this] { applyCommandLine(); });
}

// The port goes first, while the controls its handlers touch still exist: a
// delivery under way when it closes may still run its handler.
TMainForm::~TMainForm()
{
    delete m_BComPort1;
}

void TMainForm::buildFromForm()
{
    {
        TAdvSpinEdit::FormLoading loading;
        ui->setupUi(this);
    }
    m_digits = {ui->AdvSpinEdit1, ui->AdvSpinEdit2, ui->AdvSpinEdit3,
                ui->AdvSpinEdit4, ui->AdvSpinEdit5, ui->AdvSpinEdit6,
                ui->AdvSpinEdit7, ui->AdvSpinEdit8, ui->AdvSpinEdit9};
    for (TAdvSpinEdit* d : m_digits)
        d->Loaded();
    sizeCaptionsToText();
    m_BComPort1 = new TBComPort(this);
    m_BComPort1Return = new TReconnect(*m_BComPort1, this);
    m_lines = new TLines(this);
    // Timer1 sleeps while the lamp is out: lit, the lamp goes out at the next
    // tick of the grid a free-running timer would keep.
    m_Timer1 = new QTimer(this);
    m_Timer1->setSingleShot(true);
    m_Timer1->setTimerType(Qt::PreciseTimer);
    // The form gives the receive buffer its first text; from then on the
    // buffer lives here (it keeps NUL bytes) and Edit2 and status panel 0
    // show it.
    m_receiveBuffer = TReceiveBuffer(ui->Edit2->text().toLatin1());
    setFixedSize(size());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    centreOnScreen();
}

// Captions size themselves to their text, so that none is cut off whatever
// font the system substitutes for the designed one.
void TMainForm::sizeCaptionsToText()
{
    for (QLabel* label : findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && label->parentWidget() != ui->StatusBar1)
            label->adjustSize();
    }
}

void TMainForm::centreOnScreen()
{
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

// All event wiring of the window is here.
void TMainForm::wireEvents()
{
    wireDigits();
    wirePortPanel();
    connect(ui->btnSend, &QPushButton::clicked, this,
            [this] { reportErrors([this] { btnSendClick(ui->btnSend); }); });
    connect(ui->Edit1, &QLineEdit::returnPressed, this, [this] {
        reportErrors([this] {
            char key = '\r';
            Edit1KeyPress(ui->Edit1, key);
        });
    });
    connect(m_Timer1, &QTimer::timeout, this, [this] { Timer1Timer(m_Timer1); });
    m_timer1Grid.start();
    // Every wheel event anywhere in the window passes through FormMouseWheel once.
    qApp->installEventFilter(this);
}

void TMainForm::wireDigits()
{
    Ui::MainForm& f = *ui;
    f.AdvSpinEdit2->OnChange = [this](QObject* s) { AdvSpinEdit2Change(s); };
    f.AdvSpinEdit3->OnChange = [this](QObject* s) { AdvSpinEdit3Change(s); };
    f.AdvSpinEdit4->OnChange = [this](QObject* s) { AdvSpinEdit4Change(s); };
    f.AdvSpinEdit5->OnChange = [this](QObject* s) { AdvSpinEdit5Change(s); };
    f.AdvSpinEdit6->OnChange = [this](QObject* s) { AdvSpinEdit6Change(s); };
    f.AdvSpinEdit7->OnChange = [this](QObject* s) { AdvSpinEdit7Change(s); };
    f.AdvSpinEdit8->OnChange = [this](QObject* s) { AdvSpinEdit8Change(s); };
    f.AdvSpinEdit9->OnChange = [this](QObject* s) { AdvSpinEdit9Change(s); };
    // A radio button runs its click handler only when it becomes checked,
    // whether the operator clicks it or code checks it.
    connect(f.SDR, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            runModeClick(&TMainForm::SDRClick, ui->SDR);
    });
    connect(f.VFO, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            runModeClick(&TMainForm::VFOClick, ui->VFO);
    });
}

void TMainForm::wirePortPanel()
{
    Ui::MainForm& f = *ui;
    connect(f.btnConnect, &QPushButton::clicked, this,
            [this] { reportErrors([this] { btnConnectClick(ui->btnConnect); }); });
    connect(f.btnDisconnect, &QPushButton::clicked, this,
            [this] { reportErrors([this] { btnDisconnectClick(ui->btnDisconnect); }); });
    // Only the operator's choice applies a rate; selecting from code does not.
    connect(f.cbBaudRate, &QComboBox::activated, this,
            [this] { reportErrors([this] { cbBaudRateChange(ui->cbBaudRate); }); });
    // A check box runs its click handler whenever its state changes.
    connect(f.cbSetRTS, &QCheckBox::toggled, this,
            [this] { reportErrors([this] { cbSetRTSClick(ui->cbSetRTS); }); });
    connect(f.cbSetDTR, &QCheckBox::toggled, this,
            [this] { reportErrors([this] { cbSetDTRClick(ui->cbSetDTR); }); });
    TBComPort& port = *m_BComPort1;
    port.OnRxChar = [this](QObject* s, int count) { BComPort1RxChar(s, count); };
    port.OnCTSChange = [this](QObject* s, bool state) { BComPort1CTSChange(s, state); };
    port.OnDSRChange = [this](QObject* s, bool state) { BComPort1DSRChange(s, state); };
    port.OnRLSDChange = [this](QObject* s, bool state) { BComPort1RLSDChange(s, state); };
    port.OnEventsStopped = [this](QObject* s, const std::exception_ptr& reason) {
        reportErrors([&] { BComPort1EventsStopped(s, reason); });
    };
    connect(m_BComPort1Return, &TReconnect::reopened, this,
            [this] { reportErrors([this] { showPanelReopened(); }); });
    connect(new TPortListWatch(m_setup.portListRoot, this), &TPortListWatch::changed, this,
            [this] { reportErrors([this] { RefreshPortList(); }); });
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createPopupMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMenu* TMainForm::createPopupMenu()
{
    auto* menu = new QMenu(this);
    menu->addAction(tr("Refresh the port list"), this,
                    [this] { reportErrors([this] { RefreshPortList(); }); });
    return menu;
}

TAdvSpinEdit* TMainForm::digit(int index) const
{
    return m_digits.at(static_cast<std::size_t>(index - 1));
}

void TMainForm::FormCreate(QObject* /*Sender*/)
{
    QString startingFile = m_setup.settingsFile;
    if (m_setup.settingsFile.isEmpty()) {
        const QString executableDir = QCoreApplication::applicationDirPath();
        m_setup.settingsFile =
            settingsFilePath(executableDir, QProcessEnvironment::systemEnvironment());
        startingFile = startingSettingsFile(m_setup.settingsFile, executableDir);
    }
    // Read first, so that the rigctld listener finds the file's setting
    // even when listing the ports fails.
    m_storedSettings =
        readStoredSettings(TIniFile(startingFile), PortSettings{m_dialledFrequency, m_portIndex,
                                                                m_baudRateIndex, m_div4Mode});
    m_storedSettings.lines = applyLinesOptions(std::move(m_storedSettings.lines), m_setup.options);
    m_lines->configure(m_storedSettings.lines.value_or(LinesSetting{}));
    // A port list that cannot be read (Windows has none until a serial
    // device has appeared) is reported, and start-up goes on without ports:
    // the stored settings are restored all the same, so that closing does not
    // save the form's blank state over them.
    QStringList ports;
    try {
        ListSerialPorts(ports, m_setup.portListRoot);
        m_portsListed = true;
    } catch (const EComPort&) {
        showCurrentException();
    }
    ui->cbPort->clear();
    ui->cbPort->addItems(ports);
    restoreSettings(startingFile);
    ShowCTS(false);
    ShowDSR(false);
    ShowRLSD(false);
    ComposeFrequency();
    Edit2Change(this);
}

// ---- Settings ----

void TMainForm::restoreSettings(const QString& fileName)
{
    uncheckModeButtons();
    if (!m_storedSettings.port) {
        // A file that is there but cannot be read counts as none, once said:
        // silently, its settings would seem lost.
        if (!m_storedSettings.readError.isEmpty())
            showErrorMessage(tr("The settings file %1 cannot be read; the settings of a first "
                                "start are used instead")
                                 .arg(QDir::toNativeSeparators(fileName)),
                             m_storedSettings.readError);
        applyDefaultSettings();
        return;
    }
    PortSettings stored = *m_storedSettings.port;
    // A stored dial with a character that is not a digit would reach the
    // reply, and where it composes to no number it would fail every close,
    // so that nothing could be saved again. It is reported once and the
    // default dialled; the other settings are read on their own and stay.
    if (!isDialableFrequency(stored.frequency)) {
        showErrorMessage(tr("The stored frequency '%1' has a character that is not a digit; "
                            "014 070 000 Hz is dialled instead")
                             .arg(stored.frequency),
                         fileName);
        stored.frequency = defaultFrequency;
    }
    applyStoredSettings(stored);
}

// Unchecking runs no click handler, and radio buttons in one group only
// uncheck each other, so their grouping is lifted for the moment.
void TMainForm::uncheckModeButtons()
{
    for (QRadioButton* button : {ui->SDR, ui->VFO}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
}

// The stored texts go into the digits as they stand, unclamped; each may run
// its digit's carry handler.
void TMainForm::applyStoredSettings(const PortSettings& stored)
{
    m_portIndex = stored.port;
    m_baudRateIndex = stored.baudRateIndex;
    m_div4Mode = stored.div4;
    setDial(stored.frequency);
    ui->cbPort->setCurrentIndex(m_portIndex);
    ui->cbBaudRate->setCurrentIndex(m_baudRateIndex);
    checkModeButton(m_div4Mode ? ui->SDR : ui->VFO);
}

void TMainForm::applyDefaultSettings()
{
    setDial(defaultFrequency);
    ui->cbPort->setCurrentIndex(0);
    ui->cbBaudRate->setCurrentIndex(defaultBaudRateIndex);
    m_baudRateIndex = defaultBaudRateIndex;
    checkModeButton(ui->SDR);
}

void TMainForm::FormClose(QObject* /*Sender*/)
{
    ComposeFrequency();
    // The stored index stays as it was where the operator did not pick a
    // listed port: the port --port selected is a choice for this run only,
    // whether it was added to the list or already listed, and without the
    // system's list there was none to pick.
    if (m_portsListed && ui->cbPort->currentIndex() != m_commandLinePortIndex)
        m_portIndex = ui->cbPort->currentIndex();
    m_storedSettings.port =
        PortSettings{m_dialledFrequency, m_portIndex, m_baudRateIndex, m_div4Mode};
    TIniFile file(m_setup.settingsFile);
    writeStoredSettings(file, m_storedSettings);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    try {
        FormClose(this);
        event->accept();
    } catch (...) {
        event->ignore();
        showCurrentException();
    }
}

// --port adds a port the system does not list (a pty, a udev link) at the end
// of the list, so the stored indexes of the listed ports keep their meaning.
void TMainForm::applyCommandLine()
{
    QStringList ports = portListItems();
    if (const std::optional<int> selected = applyPortOption(ports, m_setup.options)) {
        showPortList(ports, *selected);
        m_commandLinePortIndex = *selected;
    }
    if (m_setup.options.connect)
        btnConnectClick(ui->btnConnect);
}

// ---- Frequency register ----

void TMainForm::ComposeFrequency()
{
    settleDigitTexts();
    QString concatenation;
    for (const TAdvSpinEdit* d : m_digits)
        concatenation += d->text();
    m_dialledFrequency = concatenation;
    m_frequencyString = concatenation;
    if (ui->SDR->isChecked())
        m_frequencyString = div4FrequencyString(m_frequencyString);
    m_lines->publish(m_frequencyString);
    ui->StatusPanel1->setText(QStringLiteral("Ftx = ") +
                              QString::number(StrToInt(m_frequencyString)));
}

// A digit holds one decimal digit, but typing and pasting can leave it another text ("007",
// "1.5", nothing at all), and the top digit has no carry handler to correct it. Composed as it
// stands, such a text would put a frequency of another length, or none, into every reply. So a
// digit like that is first settled as leaving it settles a typed number: its value (the text's
// integer, or the lowest value when there is none) is written back, clamped, with the carry that
// brings.
void TMainForm::settleDigitTexts()
{
    for (TAdvSpinEdit* d : m_digits) {
        if (!isSingleDecimalDigit(d->text()))
            d->setValue(d->Value());
    }
}

// A digit that shows its character already is left alone, as a write of its
// value would leave it: the caret stays where the operator left it.
void TMainForm::setDial(const QString& frequency)
{
    const std::array<QString, FrequencyDigitCount> texts = spreadFrequency(frequency);
    for (std::size_t i = 0; i < m_digits.size(); ++i) {
        if (m_digits[i]->text() != texts[i])
            m_digits[i]->setText(texts[i]);
    }
    ComposeFrequency();
}

void TMainForm::carry(TAdvSpinEdit* digitControl, TAdvSpinEdit* left)
{
    if (digitControl->Value() == 10) {
        digitControl->setValue(0);
        left->setValue(left->Value() + 1);
    }
    if (digitControl->Value() == -1) {
        digitControl->setValue(9);
        left->setValue(left->Value() - 1);
    }
}

void TMainForm::AdvSpinEdit2Change(QObject*)
{
    carry(ui->AdvSpinEdit2, ui->AdvSpinEdit1);
}
void TMainForm::AdvSpinEdit3Change(QObject*)
{
    carry(ui->AdvSpinEdit3, ui->AdvSpinEdit2);
}
void TMainForm::AdvSpinEdit4Change(QObject*)
{
    carry(ui->AdvSpinEdit4, ui->AdvSpinEdit3);
}
void TMainForm::AdvSpinEdit5Change(QObject*)
{
    carry(ui->AdvSpinEdit5, ui->AdvSpinEdit4);
}
void TMainForm::AdvSpinEdit6Change(QObject*)
{
    carry(ui->AdvSpinEdit6, ui->AdvSpinEdit5);
}
void TMainForm::AdvSpinEdit7Change(QObject*)
{
    carry(ui->AdvSpinEdit7, ui->AdvSpinEdit6);
}
void TMainForm::AdvSpinEdit8Change(QObject*)
{
    carry(ui->AdvSpinEdit8, ui->AdvSpinEdit7);
}
void TMainForm::AdvSpinEdit9Change(QObject*)
{
    carry(ui->AdvSpinEdit9, ui->AdvSpinEdit8);
}

void TMainForm::SDRClick(QObject*)
{
    m_div4Mode = true;
    ComposeFrequency();
}

void TMainForm::VFOClick(QObject*)
{
    m_div4Mode = false;
    ComposeFrequency();
}

// An error of a click handler must not unwind through the toolkit's button
// code: it is kept and raised again by checkModeButton when code checked the
// button, and reported at once when the operator did.
void TMainForm::runModeClick(void (TMainForm::*handler)(QObject*), QObject* sender)
{
    try {
        (this->*handler)(sender);
    } catch (...) {
        if (m_checkingFromCode)
            m_modeClickError = std::current_exception();
        else
            showCurrentException();
    }
}

void TMainForm::checkModeButton(QRadioButton* button)
{
    m_checkingFromCode = true;
    button->setChecked(true);
    m_checkingFromCode = false;
    if (std::exception_ptr error = std::exchange(m_modeClickError, nullptr))
        std::rethrow_exception(error);
}

// ---- IF responder ----

void TMainForm::BComPort1RxChar(QObject*, int Count)
{
    QByteArray chunk;
    m_BComPort1->ReadText(chunk, Count);
    if (appendReceived(m_receiveBuffer, chunk, ui->cbCRLF->isChecked()))
        Edit2Change(ui->Edit2);
}

// The hidden controls are brought up to date only where they differ: a
// laid-out text costs more than the reply itself.
void TMainForm::showReceiveBuffer()
{
    const QLatin1StringView text(m_receiveBuffer.text());
    if (ui->Edit2->text() != text)
        ui->Edit2->setText(text);
    showAfterPrefix(ui->StatusPanel0, QLatin1StringView("RX = "), text);
}

void TMainForm::showReply(const QString& reply, bool sent)
{
    const QString edit1 = sent ? QString() : reply;
    if (ui->Edit1->text() != edit1)
        ui->Edit1->setText(edit1);
    showAfterPrefix(ui->StatusPanel2, QLatin1StringView("TX = "), reply);
}

// The reply goes to the line before any control is touched; the controls
// then show what the steps leave behind: the buffer emptied, the reply in
// panel 2 (and in Edit1 while not connected), the lamp lit.
void TMainForm::Edit2Change(QObject*)
{
    const std::optional<QString> reply = replyToQuery(m_receiveBuffer, m_frequencyString);
    if (!reply) {
        showReceiveBuffer();
        return;
    }
    const bool connected = m_BComPort1->Connected();
    try {
        if (connected)
            m_BComPort1->WriteText(reply->toLatin1());
    } catch (...) {
        // As the steps before the send leave them: the query stays, Edit1
        // keeps the reply, the lamp stays dark.
        showReceiveBuffer();
        showReply(*reply, false);
        throw;
    }
    showReply(*reply, connected);
    lightReplyLamp();
    m_receiveBuffer.clear();
    showReceiveBuffer();
}

void TMainForm::lightReplyLamp()
{
    ui->Image5->show();
    if (!m_Timer1->isActive())
        m_Timer1->start(int(timer1Interval - m_timer1Grid.elapsed() % timer1Interval));
}

void TMainForm::btnSendClick(QObject*)
{
    if (!m_BComPort1->Connected())
        return;
    m_BComPort1->WriteText(ui->Edit1->text().toLatin1());
    ui->Edit1->clear();
}

void TMainForm::Edit1KeyPress(QObject*, char& Key)
{
    if (!m_BComPort1->Connected() || Key != '\r')
        return;
    m_BComPort1->WriteText(ui->Edit1->text().toLatin1() + Key);
    ui->Edit1->clear();
}

void TMainForm::Timer1Timer(QObject*)
{
    ui->Image5->hide();
}

// ---- Wheel tuning ----

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != this)
        return false;
    // Qt offers an unhandled wheel event to each parent in turn; the window
    // handles it once, at its first delivery, and consumes it.
    const auto* wheel = static_cast<QWheelEvent*>(event);
    bool handled = false;
    reportErrors([&] {
        FormMouseWheel(this, wheel->modifiers(), wheelDelta(wheel->angleDelta()),
                       wheel->globalPosition().toPoint(), handled);
    });
    return true;
}

void TMainForm::FormMouseWheel(QObject*, Qt::KeyboardModifiers, int WheelDelta, QPoint MousePos,
                               bool& /*Handled*/)
{
    const QWidget* underPointer = QApplication::widgetAt(MousePos);
    for (TAdvSpinEdit* d : m_digits) {
        if (underPointer != d)
            continue;
        d->setFocus(Qt::OtherFocusReason);
        if (WheelDelta > 0)
            d->StepUp();
        else if (WheelDelta < 0)
            d->StepDown();
    }
    ComposeFrequency();
}
