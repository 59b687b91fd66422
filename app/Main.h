// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CommandLine.h"
#include "FrequencyRegister.h"
#include "IfResponder.h"
#include "KenwoodProtocol.h"
#include "LineMonitor.h"
#include "MainFormRig.h"
#include "StoredSettings.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <array>
#include <exception>
#include <memory>
#include <optional>

namespace Ui {
class MainForm;
}
class QLabel;
class QMenu;
class QRadioButton;
class QTimer;
class TAdvSpinEdit;
class TBComPort;
class TFrequencyEntry;
class TFrequencyStrip;
class TLineMonitorWindow;
class TLines;
class TReconnect;
class TRigctlService;

// Where the window finds its surroundings. The defaults are the program's
// own; tests give a settings file and a port list of their own.
struct TMainFormSetup
{
    // The settings file, read at start and written at close; empty:
    // "quartzel.ini" at its usual place (read from beside the program until
    // the user's own file exists).
    QString settingsFile;
    // Where the serial ports are listed; empty: the system's list.
    QString portListRoot;
    CommandLineOptions options;
};

// The main window: nine digit controls holding a frequency in hertz, the two
// output-mode buttons, the port panel, the reply to the device's "IF;" query
// and its lamp. Lives on the UI thread for the life of the program; every
// handler below runs there, one at a time.
class TMainForm : public QWidget
{
    Q_OBJECT

public:
    explicit TMainForm(const TMainFormSetup& setup = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The window's creation handler; runs once from the constructor. An error
    // is reported and the remaining steps are skipped.
    void FormCreate(QObject* Sender);
    // The window's close handler: composes once more, puts the four settings
    // into the stored settings and writes them all (writeStoredSettings).
    // Raises when a write fails; the window then stays open.
    void FormClose(QObject* Sender);

    // Reads the nine digits into the dialled frequency and the frequency
    // string, applying the div4 transform when the "VFO" button (component
    // SDR) is checked. A digit whose text is not one decimal digit is first
    // set to its clamped value, so the dial always has nine digits.
    void ComposeFrequency();
    // Sets the dial: the one way in for whatever sets it (start-up, a
    // network client). Each digit control whose text differs gets its
    // character of `frequency` as its text, unclamped (spreadFrequency), and
    // may run its carry handler; then the frequency is composed, so that the
    // digits, the next reply and the saved setting agree. `frequency` must be
    // dialable (isDialableFrequency). Raises as ComposeFrequency does.
    void setDial(const QString& frequency);
    // Opens the entry for a typed frequency over the digits (Ctrl+G); what
    // it reads is dialled through setDial.
    void goToFrequency();
    // (Re)starts the rigctld listener as `options` and the stored settings
    // ask (TRigctlService); the one before it stops first.
    void listenForRigctlClients(const CommandLineOptions& options);
    const TRigctlService* rigctlService() const { return m_rigctld.get(); }
    // Answers the panel's line as the stored settings' Kenwood profile asks:
    // a new session when it is on, the specified replies alone when off.
    void applyKenwoodProfile();
    // Makes the lines beside the panel's anew as `setting` asks, and keeps
    // it; while the panel's port is open they open at once.
    void applyLines(const LinesSetting& setting);
    // Opens the options dialog, one page for each group of settings.
    void openOptions();
    // Keeps the dial the digits show and the output mode as a memory named
    // `name`, in place of one of that name, else after the others.
    void rememberDial(const QString& name);
    // Dials the memory at `index` (0 is Alt+1's) through setDial and checks
    // its mode button; an index without a memory does nothing.
    void recallMemory(int index);

    // The digits' carry handlers: 10 becomes 0 with a carry to the left,
    // -1 becomes 9 with a borrow from the left.
    void AdvSpinEdit2Change(QObject* Sender);
    void AdvSpinEdit3Change(QObject* Sender);
    void AdvSpinEdit4Change(QObject* Sender);
    void AdvSpinEdit5Change(QObject* Sender);
    void AdvSpinEdit6Change(QObject* Sender);
    void AdvSpinEdit7Change(QObject* Sender);
    void AdvSpinEdit8Change(QObject* Sender);
    void AdvSpinEdit9Change(QObject* Sender);

    // The mode buttons; the captions are crossed: SDR reads "VFO" and selects div4 mode.
    void SDRClick(QObject* Sender);
    void VFOClick(QObject* Sender);

    // The port panel.
    void btnConnectClick(QObject* Sender);
    void btnDisconnectClick(QObject* Sender);
    void cbBaudRateChange(QObject* Sender);
    void cbSetRTSClick(QObject* Sender);
    void cbSetDTRClick(QObject* Sender);
    void BComPort1CTSChange(QObject* Sender, bool State);
    void BComPort1DSRChange(QObject* Sender, bool State);
    void BComPort1RLSDChange(QObject* Sender, bool State);
    // Event delivery of the port ended by itself (device gone, read failed):
    // the port is closed, the panel returns to its closed state, and the
    // operator is told once why.
    void BComPort1EventsStopped(QObject* Sender, const std::exception_ptr& reason);
    void ShowCTS(bool lit);
    void ShowDSR(bool lit);
    void ShowRLSD(bool lit);
    // Lists the system's ports again, keeping the selected port selected
    // (and in the list) and the port --port named; the port in use stays in
    // use. Runs when the system's list changes and from the window's menu.
    // Raises EComPort when the list cannot be read; the list then stays.
    void RefreshPortList();

    // The responder: received bytes, the examination of the buffer, sending.
    // With the Kenwood profile on, the received bytes are answered command by
    // command (TKenwoodSession) instead; the buffer and its controls show
    // them all the same.
    void BComPort1RxChar(QObject* Sender, int Count);
    void Edit2Change(QObject* Sender);
    void btnSendClick(QObject* Sender);
    void Edit1KeyPress(QObject* Sender, char& Key);
    void Timer1Timer(QObject* Sender);

    // Steps the digit whose edit lies under the screen point, then composes.
    void FormMouseWheel(QObject* Sender, Qt::KeyboardModifiers Shift, int WheelDelta,
                        QPoint MousePos, bool& Handled);

    // Whether the panel's line answers as a Kenwood radio does.
    bool kenwoodProfile() const { return m_kenwood != nullptr; }
    // The mode that rigctld clients and the Kenwood profile's MD set last:
    // remembered and answered, never applied, since the panel has none.
    TRigctlMode& mode() { return m_mode; }
    // The mode was set: every line reads it, and auto-information tells it.
    void modeChanged();
    // The line monitor of the panel's line, as a user reads it now.
    QString lineMonitorReport() const;
    // Writes it to standard error, headed by the port's name: for a program
    // that shows no window (SIGUSR1) or that ends (--verbose).
    void logLineMonitor() const;
    // Shows the line monitor's window (the right-click menu's "Line
    // monitor", Ctrl+M).
    void showLineMonitor();
    TLineMonitorWindow* lineMonitorWindow() const { return m_lineMonitorWindow; }

    const QString& dialledFrequency() const { return m_dialledFrequency; }
    const QString& frequencyString() const { return m_frequencyString; }
    bool div4Mode() const { return m_div4Mode; }
    const TReceiveBuffer& receiveBuffer() const { return m_receiveBuffer; }
    const QString& settingsFile() const { return m_setup.settingsFile; }
    // The settings of every section: what start-up read from the settings
    // file (FormCreate), the services' settings in effect since, and at close
    // the window's own; written by FormClose.
    StoredSettings& storedSettings() { return m_storedSettings; }
    const StoredSettings& storedSettings() const { return m_storedSettings; }

    // The controls and components of the window, for wiring and for tests.
    Ui::MainForm& form() const { return *ui; }
    TAdvSpinEdit* digit(int index) const; // 1..FrequencyDigitCount
    TBComPort* BComPort1() const { return m_BComPort1; }
    // The further lines and the program's own line ([LINES]).
    TLines& lines() const { return *m_lines; }
    QTimer* Timer1() const { return m_Timer1; }
    TFrequencyEntry* frequencyEntry() const { return m_frequencyEntry; }
    // Timer1's ticks fall on multiples of 250 ms of this clock.
    const QElapsedTimer& timer1Grid() const { return m_timer1Grid; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A change of language names the controls anew for assistive technology.
    void changeEvent(QEvent* event) override;
    // The right-click menu, built anew by createPopupMenu each time.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildFromForm();
    void centreOnScreen();
    void showBitmapsForScreen();
    void sizeCaptionsToText();
    void wireEvents();
    void wireDigits();
    void wirePortPanel();
    void wireOperatorKeys();
    // Every entry of the window's right-click menu is added here.
    QMenu* createPopupMenu();
    void addMemoryEntries(QMenu& menu);
    // Asks for a name under which to remember the dial.
    void askForMemoryName();
    void carry(TAdvSpinEdit* digitControl, TAdvSpinEdit* left);
    void settleDigitTexts();
    void restoreSettings(const QString& fileName);
    void applyStoredSettings(const PortSettings& stored);
    void applyDefaultSettings();
    void uncheckModeButtons();
    void applyCommandLine();
    void startKenwoodProfile();
    void runModeClick(void (TMainForm::*handler)(QObject*), QObject* sender);
    void checkModeButton(QRadioButton* button);
    void showPanelClosed();
    // The lamps show the port's modem lines as they are.
    void showModemState();
    // The panel's port is open again after its device came back.
    void showPanelReopened();
    QStringList portListItems() const;
    void showPortList(const QStringList& ports, int selected);
    bool examineReceiveBuffer();
    void answerKenwood(const QByteArray& received);
    void announceChange();
    void announce(const QByteArray& reply);
    void sendToLine(const QString& reply, bool carriesFrequency);
    void showReceiveBuffer();
    void showReply(const QString& reply, bool sent);
    void lightReplyLamp();
    static void showLamp(QLabel* lamp, bool lit);
    // What assistive technology is told of the controls, and the keyboard's
    // way to the port panel (MainAccessible.cpp).
    void describeForAssistiveTechnology();
    void nameForAssistiveTechnology();
    static void describeLamp(QWidget* lamp, bool lit);
    void letKeyboardReachPortPanel();

    std::unique_ptr<Ui::MainForm> ui;
    std::array<TAdvSpinEdit*, FrequencyDigitCount> m_digits{}; // AdvSpinEdit1 to AdvSpinEdit9
    TMainFormSetup m_setup;
    StoredSettings m_storedSettings;
    TBComPort* m_BComPort1 = nullptr;
    TLines* m_lines = nullptr;
    // Brings the panel's port back, with reconnecting on.
    TReconnect* m_BComPort1Return = nullptr;
    QTimer* m_Timer1 = nullptr;
    TFrequencyStrip* m_frequencyStrip = nullptr;
    TFrequencyEntry* m_frequencyEntry = nullptr;
    std::unique_ptr<TRigctlService> m_rigctld; // none: not listening
    QElapsedTimer m_timer1Grid; // Timer1's ticks fall on multiples of 250 ms from here
    QString m_dialledFrequency;
    QString m_frequencyString;
    bool m_div4Mode = false;
    int m_portIndex = 0;
    bool m_portsListed = false;                // the system's port list was read at start
    std::optional<int> m_commandLinePortIndex; // the entry that --port selected
    int m_baudRateIndex = 0;
    TReceiveBuffer m_receiveBuffer;
    TLineMonitor m_lineMonitor;
    TKenwoodCommandReader m_monitorReader; // the commands of the line without the profile
    TLineMonitorWindow* m_lineMonitorWindow = nullptr;
    TMainFormRig m_rig{*this}; // the dial as the Kenwood profile sees it
    TRigctlMode m_mode;
    std::unique_ptr<TKenwoodSession> m_kenwood; // while the profile is on
    QTimer* m_announcementTimer = nullptr;      // armed while an announcement waits
    bool m_checkingFromCode = false;
    std::exception_ptr m_modeClickError;
};
