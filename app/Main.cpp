// SPDX-License-Identifier: GPL-3.0-or-later

#include "Main.h"

#include "AdvSpin.h"
#include "Application.h"
#include "BCPort.h"
#include "Convert.h"
#include "FrequencyEntry.h"
#include "IniFile.h"
#include "LineMonitorWindow.h"
#include "Lines.h"
#include "MainAccessible.h"
#include "OptionsDialog.h"
#include "OptionsKenwoodPage.h"
#include "OptionsLanguagePage.h"
#include "OptionsLinesPage.h"
#include "OptionsRigctldPage.h"
#include "PortListWatch.h"
#include "Reconnect.h"
#include "RigctlService.h"
#include "SerialPorts.h"
#include "SettingsLocation.h"
#include "Translations.h"
#include "TransparentBitmap.h"
#include "TypedFrequency.h"
#include "ui_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QInputDialog>
#include <QKeySequence>
#include <QMenu>
#include <QProcessEnvironment>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr int timer1Interval = 250;                        // ms, the lamp's grid from start
constexpr QLatin1StringView defaultFrequency{"014070000"}; // 14 070 000 Hz
constexpr int defaultBaudRateIndex = 6;                    // 9600
const QKeySequence goToFrequencyKey(Qt::CTRL | Qt::Key_G);
constexpr int recalledByKey = 9; // Alt+1 ... Alt+9

// The key that recalls the memory at `index` (0..recalledByKey - 1).
QKeySequence recallKey(int index)
{
    return QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + index));
}

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
    describeForAssistiveTechnology();
    letKeyboardReachPortPanel();
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
    // Armed only while an announcement of the Kenwood profile waits.
    m_announcementTimer = new QTimer(this);
    m_announcementTimer->setSingleShot(true);
    m_announcementTimer->setTimerType(Qt::PreciseTimer);
    // The form gives the receive buffer its first text; from then on the
    // buffer lives here (it keeps NUL bytes) and Edit2 and status panel 0
    // show it.
    m_receiveBuffer = TReceiveBuffer(ui->Edit2->text().toLatin1());
    setFixedSize(size());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    centreOnScreen();
    showBitmapsForScreen();
}

// The reply lamp's two faces come with the form one pixel to a pixel; on a
// screen with more device pixels to a pixel they are drawn at its resolution,
// at start and whenever the window moves to another screen. (The line lamps
// take the screen's each time they change, and are never shown.)
void TMainForm::showBitmapsForScreen()
{
    const qreal ratio = devicePixelRatioF();
    ui->Image4->setPixmap(QPixmap::fromImage(
        bitmapForDevice(QImage(QStringLiteral(":/bitmaps/ReplyLampDark")), ratio)));
    ui->Image5->setPixmap(QPixmap::fromImage(
        bitmapForDevice(QImage(QStringLiteral(":/bitmaps/ReplyLampLit")), ratio)));
}

void TMainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        nameForAssistiveTechnology();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    connect(windowHandle(), &QWindow::screenChanged, this, &TMainForm::showBitmapsForScreen,
            Qt::UniqueConnection);
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
    wireOperatorKeys();
    connect(ui->btnSend, &QPushButton::clicked, this,
            [this] { reportErrors([this] { btnSendClick(ui->btnSend); }); });
    connect(ui->Edit1, &QLineEdit::returnPressed, this, [this] {
        reportErrors([this] {
            char key = '\r';
            Edit1KeyPress(ui->Edit1, key);
        });
    });
    connect(m_Timer1, &QTimer::timeout, this, [this] { Timer1Timer(m_Timer1); });
    connect(m_announcementTimer, &QTimer::timeout, this, [this] {
        reportErrors([this] {
            if (m_kenwood)
                announce(m_kenwood->announcementDue(m_timer1Grid.elapsed()));
        });
    });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this), &QShortcut::activated, this,
            &TMainForm::showLineMonitor);
    // What a further line's device sets is taken as the panel's line's is.
    connect(m_lines, &TLines::dialAsked, this,
            [this](quint32 hertz) { reportErrors([&] { m_rig.setDialFrequency(hertz); }); });
    connect(m_lines, &TLines::modeAsked, this, [this](const QByteArray& name, int passband) {
        m_mode = {name, passband};
        reportErrors([this] { modeChanged(); });
    });
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
    menu->addAction(tr("Go to frequency…") + u'\t' + goToFrequencyKey.toString(), this,
                    &TMainForm::goToFrequency);
    menu->addAction(tr("Remember this frequency…"), this,
                    [this] { reportErrors([this] { askForMemoryName(); }); });
    addMemoryEntries(*menu);
    menu->addSeparator();
    menu->addAction(tr("Refresh the port list"), this,
                    [this] { reportErrors([this] { RefreshPortList(); }); });
    QAction* monitor = menu->addAction(tr("Line monitor"), this, &TMainForm::showLineMonitor);
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    menu->addAction(tr("Options…"), this, [this] { reportErrors([this] { openOptions(); }); });
    return menu;
}

// Each memory under its name, with its frequency, the caption of its mode
// button and, for the first nine, the key that recalls it.
void TMainForm::addMemoryEntries(QMenu& menu)
{
    const Memories& memories = m_storedSettings.memories;
    if (!memories.isEmpty())
        menu.addSeparator();
    for (int i = 0; i < memories.size(); ++i) {
        const Memory& memory = memories[i];
        QString text = tr("%1 (%2 Hz, %3)")
                           .arg(memory.name, groupedHertz(memory.hertz),
                                (memory.div4 ? ui->SDR : ui->VFO)->text());
        if (i < recalledByKey)
            text += u'\t' + recallKey(i).toString();
        menu.addAction(text, this, [this, i] { reportErrors([this, i] { recallMemory(i); }); });
    }
}

void TMainForm::applyLines(const LinesSetting& setting)
{
    m_storedSettings.lines = setting;
    m_lines->configure(setting);
    if (m_BComPort1->Connected())
        m_lines->open(m_BComPort1->BaudRate());
}

void TMainForm::openOptions()
{
    TOptionsDialog dialog(this);
    dialog.addPage(new TOptionsRigctldPage(*this), tr("rigctld"));
    dialog.addPage(new TOptionsKenwoodPage(*this), tr("Kenwood"));
    dialog.addPage(new TOptionsLinesPage(*this), tr("Lines"));
    dialog.addPage(new TOptionsLanguagePage(*this), tr("Language"));
    dialog.exec();
}

void TMainForm::listenForRigctlClients(const CommandLineOptions& options)
{
    m_rigctld.reset();
    m_rigctld = std::make_unique<TRigctlService>(*this, options);
}

void TMainForm::askForMemoryName()
{
    ComposeFrequency();
    bool accepted = false;
    const QString name = QInputDialog::getText(
        this, tr("Remember this frequency"), tr("Name:"), QLineEdit::Normal,
        groupedHertz(dialledHertz(m_dialledFrequency).value_or(0)), &accepted);
    if (accepted && !name.trimmed().isEmpty())
        rememberDial(name);
}

void TMainForm::rememberDial(const QString& name)
{
    ComposeFrequency();
    const Memory memory{name.trimmed(), dialledHertz(m_dialledFrequency).value_or(0), m_div4Mode};
    Memories& memories = m_storedSettings.memories;
    const auto same = std::find_if(memories.begin(), memories.end(),
                                   [&](const Memory& m) { return m.name == memory.name; });
    if (same != memories.end())
        *same = memory;
    else
        memories.append(memory);
}

void TMainForm::recallMemory(int index)
{
    if (index < 0 || index >= m_storedSettings.memories.size())
        return;
    const Memory memory = m_storedSettings.memories[index];
    setDial(frequencyText(memory.hertz));
    checkModeButton(memory.div4 ? ui->SDR : ui->VFO);
}

void TMainForm::wireOperatorKeys()
{
    m_frequencyEntry = new TFrequencyEntry(ui->Panel1);
    m_frequencyEntry->OnAccepted = [this](quint32 hertz) {
        reportErrors([&] { setDial(frequencyText(hertz)); });
    };
    connect(new QShortcut(goToFrequencyKey, this), &QShortcut::activated, this,
            &TMainForm::goToFrequency);
    for (int i = 0; i < recalledByKey; ++i)
        connect(new QShortcut(recallKey(i), this), &QShortcut::activated, this,
                [this, i] { reportErrors([this, i] { recallMemory(i); }); });
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
    if (const std::optional<LanguageSetting> language = m_storedSettings.language.inEffect)
        installTranslations(*QCoreApplication::instance(), languageLocale(*language));
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
    startKenwoodProfile();
    if (m_setup.options.connect)
        btnConnectClick(ui->btnConnect);
}

// The profile's setting in effect, from the command line or else the
// settings file, is put into the stored settings and written at close; a
// stored text that cannot be read is reported once and left as it stands.
void TMainForm::startKenwoodProfile()
{
    KenwoodSettings& stored = m_storedSettings.kenwood;
    if (m_setup.options.kenwood)
        stored.enabled.inEffect = m_setup.options.kenwood;
    const auto reportUnreadable = [](QLatin1String key, const std::optional<QString>& text) {
        if (text)
            showErrorMessage(tr("The Kenwood profile's setting %1=%2 in the settings file cannot "
                                "be read (enabled takes 1 or 0, id three digits); it is not used")
                                 .arg(key, *text));
    };
    if (!m_setup.options.kenwood)
        reportUnreadable(SettingsKey::KenwoodEnabled.key, stored.enabled.unreadable);
    reportUnreadable(SettingsKey::KenwoodId.key, stored.id.unreadable);
    applyKenwoodProfile();
}

// A new session: auto-information starts off, as on a radio switched on.
void TMainForm::applyKenwoodProfile()
{
    const KenwoodSettings& stored = m_storedSettings.kenwood;
    m_announcementTimer->stop();
    m_kenwood.reset();
    if (!stored.enabled.inEffect.value_or(false)) {
        m_lines->setKenwood(std::nullopt);
        return;
    }
    const QByteArray id = stored.id.inEffect ? stored.id.inEffect->toLatin1() : KenwoodDefaultId;
    m_kenwood = std::make_unique<TKenwoodSession>(m_rig, m_mode);
    m_kenwood->setId(id);
    m_lines->setKenwood(id);
}

// ---- Frequency register ----

void TMainForm::ComposeFrequency()
{
    settleDigitTexts();
    QString concatenation;
    for (const TAdvSpinEdit* d : m_digits)
        concatenation += d->text();
    const QString told = m_frequencyString;
    m_dialledFrequency = concatenation;
    m_frequencyString = concatenation;
    const bool div4 = ui->SDR->isChecked();
    if (div4)
        m_frequencyString = div4FrequencyString(m_frequencyString);
    m_lines->publish(m_frequencyString, div4);
    ui->StatusPanel1->setText(QStringLiteral("Ftx = ") +
                              QString::number(StrToInt(m_frequencyString)));
    // The reply pads the string in place, so a change shows in the field.
    if (kenwoodFrequencyField(told) != kenwoodFrequencyField(m_frequencyString))
        announceChange();
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

// The entry covers the digits and the separators after them, showing the
// frequency the digits show.
void TMainForm::goToFrequency()
{
    const QRect strip = ui->AdvSpinEdit1->geometry().united(ui->Panel2->geometry());
    m_frequencyEntry->open(strip, ui->AdvSpinEdit1, groupedHertz(m_frequencyStrip->hertz()));
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
    const bool changed = appendReceived(m_receiveBuffer, chunk, ui->cbCRLF->isChecked());
    if (m_kenwood) {
        answerKenwood(chunk);
        return;
    }
    const bool replied = changed && examineReceiveBuffer();
    recordIfOnlyLine(m_monitorReader, chunk, replied, m_lineMonitor, m_timer1Grid.elapsed());
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

void TMainForm::Edit2Change(QObject*)
{
    examineReceiveBuffer();
}

// The buffer's reply, when it holds a query: then the buffer is emptied.
// True when a reply went out.
bool TMainForm::examineReceiveBuffer()
{
    const std::optional<QString> reply = replyToQuery(m_receiveBuffer, m_frequencyString);
    if (!reply) {
        showReceiveBuffer();
        return false;
    }
    try {
        sendToLine(*reply, true);
    } catch (...) {
        // As the steps before the send leave them: the query stays.
        showReceiveBuffer();
        throw;
    }
    m_receiveBuffer.clear();
    showReceiveBuffer();
    return m_BComPort1->Connected();
}

// The answers of the commands the bytes complete go out as one write, as a
// reply does, and empty the buffer; a change of the mode is announced.
void TMainForm::answerKenwood(const QByteArray& received)
{
    const TRigctlMode mode = m_mode;
    const TKenwoodSession::Answer answer =
        m_kenwood->take(received, m_lineMonitor, m_timer1Grid.elapsed());
    if (!answer.text.isEmpty()) {
        try {
            sendToLine(QString::fromLatin1(answer.text), answer.carriesFrequency);
        } catch (...) {
            showReceiveBuffer();
            throw;
        }
        m_receiveBuffer.clear();
    }
    showReceiveBuffer();
    if (m_mode != mode)
        modeChanged();
}

void TMainForm::modeChanged()
{
    m_lines->publishMode(m_mode);
    announceChange();
}

// With the Kenwood profile's auto-information on, a change of the dial or
// the mode is told unasked, or as soon as the interval allows, on every line.
void TMainForm::announceChange()
{
    m_lines->noteChange();
    if (!m_kenwood)
        return;
    const TKenwoodSession::Announcement next = m_kenwood->noteChange(m_timer1Grid.elapsed());
    announce(next.reply);
    if (next.dueInMs)
        m_announcementTimer->start(int(*next.dueInMs));
}

void TMainForm::announce(const QByteArray& reply)
{
    if (!reply.isEmpty())
        sendToLine(QString::fromLatin1(reply), true);
}

// The reply goes to the line before any control is touched; the controls
// then show what the steps leave behind: the reply in panel 2 (and in Edit1
// while not connected), the lamp lit when the reply carries the frequency.
void TMainForm::sendToLine(const QString& reply, bool carriesFrequency)
{
    const bool connected = m_BComPort1->Connected();
    try {
        if (connected)
            m_BComPort1->WriteText(reply.toLatin1());
    } catch (...) {
        // As the steps before the send leave them: Edit1 keeps the reply,
        // the lamp stays dark.
        showReply(reply, false);
        throw;
    }
    showReply(reply, connected);
    if (carriesFrequency)
        lightReplyLamp();
}

QString TMainForm::lineMonitorReport() const
{
    return ::lineMonitorReport(m_lineMonitor, m_timer1Grid.elapsed(), QDateTime::currentDateTime());
}

void TMainForm::logLineMonitor() const
{
    const QString text = QCoreApplication::applicationName() + QStringLiteral(": ") +
                         tr("Line monitor of %1:").arg(m_BComPort1->Port()) + u'\n' +
                         lineMonitorReport() + u'\n';
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void TMainForm::showLineMonitor()
{
    if (!m_lineMonitorWindow)
        m_lineMonitorWindow = new TLineMonitorWindow([this] { return lineMonitorReport(); }, this);
    m_lineMonitorWindow->show();
    m_lineMonitorWindow->raise();
    m_lineMonitorWindow->activateWindow();
}

void TMainForm::lightReplyLamp()
{
    ui->Image5->show();
    if (!m_Timer1->isActive()) {
        m_Timer1->start(int(timer1Interval - m_timer1Grid.elapsed() % timer1Interval));
        describeLamp(ui->Image4, true);
    }
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
    describeLamp(ui->Image4, false);
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
