// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AdvSpinButton.h"
#include "TColor.h"

#include <QClipboard>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

class QMenu;

#include <functional>
#include <optional>

// The kind of value a spin edit holds.
enum TAdvSpinType { sptNormal, sptFloat, sptDate, sptTime, sptHex };

// The default system beep (QApplication::beep() unless replaced). Sounded by the spin edit when
// a step is refused or a character is rejected.
void MessageBeep();
// Replaces the beep, for example to count beeps in a test; an empty function silences it.
void setMessageBeep(std::function<void()> beep);

// A single-line numeric editor: integer, float, date, time or hexadecimal value, held as the text
// of the edit box and stepped up and down by the buttons, the keys and the program.
// Date-time values are doubles: days since 30 December 1899 plus the fraction of the day.
// User-interface thread only. Raises OnChange once for every actual change of the text
// (re-entrantly when a handler writes the value again), OnUpClick and OnDownClick after each
// button step. Its focus policy is Qt::TabFocus: a press on the edit focuses it by its own
// handling, a press on its buttons only when it is a left one.
class TAdvSpinEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(int MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(int Increment READ Increment WRITE setIncrement)
    Q_PROPERTY(int IncrementPage READ IncrementPage WRITE setIncrementPage)
    Q_PROPERTY(bool IncrementSmart READ IncrementSmart WRITE setIncrementSmart)
    Q_PROPERTY(int IncrementHours READ IncrementHours WRITE setIncrementHours)
    Q_PROPERTY(int IncrementMinutes READ IncrementMinutes WRITE setIncrementMinutes)
    Q_PROPERTY(double IncrementFloat READ IncrementFloat WRITE setIncrementFloat)
    Q_PROPERTY(double IncrementFloatPage READ IncrementFloatPage WRITE setIncrementFloatPage)
    Q_PROPERTY(double MinFloatValue READ MinFloatValue WRITE setMinFloatValue)
    Q_PROPERTY(double MaxFloatValue READ MaxFloatValue WRITE setMaxFloatValue)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE setEditorEnabled)
    Q_PROPERTY(bool AllowNullValue READ AllowNullValue WRITE setAllowNullValue)
    Q_PROPERTY(bool Signed READ Signed WRITE setSigned)
    Q_PROPERTY(bool ReturnIsTab READ ReturnIsTab WRITE setReturnIsTab)
    Q_PROPERTY(bool AutoFocus READ AutoFocus WRITE setAutoFocus)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE setAutoSelect)
    Q_PROPERTY(int Precision READ Precision WRITE setPrecision)
    Q_PROPERTY(bool ShowSeconds READ ShowSeconds WRITE setShowSeconds)
    Q_PROPERTY(uint Color READ Color WRITE setColor)
    Q_PROPERTY(uint FocusColor READ FocusColor WRITE setFocusColor)
    Q_PROPERTY(TEditAlign EditAlign READ EditAlign WRITE setEditAlign)
    Q_PROPERTY(bool SpinFlat READ SpinFlat WRITE setSpinFlat)
    Q_PROPERTY(bool SpinTransparent READ SpinTransparent WRITE setSpinTransparent)
    Q_PROPERTY(bool Flat READ Flat WRITE setFlat)
    Q_PROPERTY(QString Version READ Version WRITE setVersion)

public:
    enum class TEditAlign { eaLeft, eaRight, eaCenter };
    Q_ENUM(TEditAlign)
    enum class TLabelPosition {
        lpLeftTop,
        lpLeftCenter,
        lpLeftBottom,
        lpTopLeft,
        lpBottomLeft,
        lpLeftTopLeft,
        lpLeftCenterLeft,
        lpLeftBottomLeft,
        lpTopCenter,
        lpBottomCenter
    };
    Q_ENUM(TLabelPosition)
    enum class TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    // While one of these exists, newly constructed spin edits start in the loading state: clamps
    // pass values through and the date, time and hex setters only store. Each such edit then
    // needs Loaded() once its stored properties are set.
    class FormLoading
    {
    public:
        FormLoading();
        ~FormLoading();
        FormLoading(const FormLoading&) = delete;
        FormLoading& operator=(const FormLoading&) = delete;
    };

    explicit TAdvSpinEdit(QWidget* parent = nullptr);
    ~TAdvSpinEdit() override;

    // Stores the text as it stands, past the key filter and the clamps. Like every write by the
    // program (the value setters, steps and reformatting included) it leaves the modified flag,
    // which only the user's editing and the button and key steps set, as it was. (It hides
    // QLineEdit::setText, which is not virtual: a write through a QLineEdit pointer clears it.)
    void setText(const QString& text);

    // Integer value of the text: 0 when blank, MinValue when the text is not an integer.
    int Value() const;
    void setValue(int value);
    // Float value in the locale's notation: 0.0 when blank, MinValue when it does not convert.
    double FloatValue() const;
    void setFloatValue(double value);
    // Date from the short date text plus the stored time of day; now while the text is "0" or
    // empty, MinDateValue when it does not convert. The setter refuses a NaN and limits any other
    // value to the years 1..9999.
    double DateValue() const;
    void setDateValue(double value);
    // Time of day from the text plus the stored whole days; 0.0 when blank or unconvertible. The
    // setter refuses and limits values as the date setter does.
    double TimeValue() const;
    void setTimeValue(double value);
    // Hex value of the text after its "0x" prefix. The setter does not clamp; a text longer than
    // a positive MaxLength is refused.
    int HexValue() const;
    void setHexValue(int value);

    int MinValue() const { return m_minValue; }
    void setMinValue(int value) { m_minValue = value; }
    int MaxValue() const { return m_maxValue; }
    void setMaxValue(int value) { m_maxValue = value; }
    double MinFloatValue() const { return m_minFloatValue; }
    void setMinFloatValue(double value) { m_minFloatValue = value; }
    double MaxFloatValue() const { return m_maxFloatValue; }
    void setMaxFloatValue(double value) { m_maxFloatValue = value; }
    double MinDateValue() const { return m_minDateValue; }
    void setMinDateValue(double value) { m_minDateValue = value; }
    double MaxDateValue() const { return m_maxDateValue; }
    void setMaxDateValue(double value) { m_maxDateValue = value; }

    int Increment() const { return m_increment; }
    void setIncrement(int value) { m_increment = value; }
    int IncrementPage() const { return m_incrementPage; }
    void setIncrementPage(int value) { m_incrementPage = value; }
    double IncrementFloat() const { return m_incrementFloat; }
    void setIncrementFloat(double value) { m_incrementFloat = value; }
    double IncrementFloatPage() const { return m_incrementFloatPage; }
    void setIncrementFloatPage(double value) { m_incrementFloatPage = value; }
    bool IncrementSmart() const { return m_incrementSmart; }
    void setIncrementSmart(bool value) { m_incrementSmart = value; }
    // Hours per step in the hour field of a time (0..23; 0 steps by IncrementMinutes there).
    int IncrementHours() const { return m_incrementHours; }
    void setIncrementHours(int value) { m_incrementHours = value; }
    // Minutes per step in the minute field (0..59).
    int IncrementMinutes() const { return m_incrementMinutes; }
    void setIncrementMinutes(int value) { m_incrementMinutes = value; }

    // Writing the kind reformats the text in the new kind without raising OnChange.
    TAdvSpinType SpinType() const { return m_spinType; }
    void setSpinType(TAdvSpinType value);
    // Decimals of the float text: < 0 short general format, 0 general, > 0 fixed; at most
    // maxPrecision (338, beyond which a double has no digits).
    int Precision() const { return m_precision; }
    void setPrecision(int value);
    // Only takes effect while SpinType is sptTime.
    bool ShowSeconds() const { return m_showSeconds; }
    void setShowSeconds(bool value);

    bool EditorEnabled() const { return m_editorEnabled; }
    void setEditorEnabled(bool value) { m_editorEnabled = value; }
    bool AllowNullValue() const { return m_allowNullValue; }
    void setAllowNullValue(bool value) { m_allowNullValue = value; }
    bool Signed() const { return m_signed; }
    void setSigned(bool value) { m_signed = value; }
    bool ReturnIsTab() const { return m_returnIsTab; }
    void setReturnIsTab(bool value) { m_returnIsTab = value; }
    bool AutoFocus() const { return m_autoFocus; }
    void setAutoFocus(bool value) { m_autoFocus = value; }
    // Select the whole text on entry by keyboard or program (and on Value writes while the
    // editor is disabled).
    bool AutoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool value) { m_autoSelect = value; }

    // One step of the digit left of the caret (sptNormal and sptFloat only).
    void StepUp();
    void StepDown();
    // One step by kind with caret repair; beeps instead while read-only. Raise OnUpClick /
    // OnDownClick. A time step whose increments are out of range raises EConvertError.
    virtual void UpClick(QObject* Sender);
    virtual void DownClick(QObject* Sender);

    int ClampValue(int value) const;
    double ClampFloatValue(double value) const;
    double ClampDateValue(double value) const;

    bool isLoading() const { return m_loading; }
    // The end-of-loading step: writes the stored date, time or hex text and applies the kind.
    void Loaded();

    // Where the edit box reports its caret: the selection start, otherwise the cursor.
    int caretPosition() const;

    // The key filter for typed characters in the current kind, caret and locale; may replace the
    // character (a thousands separator enters the decimal separator, for example).
    virtual bool AcceptChar(QChar& Key);

    std::function<void(QObject* Sender)> OnChange;
    std::function<void(QObject* Sender)> OnUpClick;
    std::function<void(QObject* Sender)> OnDownClick;
    // Before the key is handled; Key is a Qt::Key code, setting it to 0 consumes the key.
    std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)> OnKeyDown;
    // For each admitted character before it is inserted; a null Key drops it. Also raised for
    // Enter and for the sign key.
    std::function<void(QObject* Sender, QChar& Key)> OnKeyPress;
    // Focus moved into the edit by keyboard, mouse or program (not a window switch).
    std::function<void(QObject* Sender)> OnEnter;
    // Focus moved from the edit to another control of the same window, after range correction.
    std::function<void(QObject* Sender)> OnExit;

    // --- Appearance (AdvSpinLook.cpp): button pair, layout, colours, flat style, label -------

    // The up/down pair at the right edge (15 x 17 at construction); its clicks step the value.
    TAdvSpinButton* buttonPair() const { return m_buttonPair; }

    // Background; system colours are resolved through the application palette.
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    // Background while focused; clNone keeps the colour.
    TColor FocusColor() const { return m_focusColor; }
    void setFocusColor(TColor color) { m_focusColor = color; }
    // One-pixel frame around the edit while focused; clNone draws none.
    TColor FocusBorderColor() const { return m_focusBorderColor; }
    void setFocusBorderColor(TColor color) { m_focusBorderColor = color; }
    // Background restored when the focus leaves or Flat is turned off; taken from Color at the
    // end of loading and when Flat is turned on.
    TColor NormalColor() const { return m_normalColor; }
    void setNormalColor(TColor color) { m_normalColor = color; }

    // No border and a one-pixel FlatLineColor underline below the text area.
    bool Flat() const { return m_flat; }
    void setFlat(bool flat);
    TColor FlatLineColor() const { return m_flatLineColor; }
    void setFlatLineColor(TColor color);
    // Copied to both buttons' Flat and Transparent.
    bool SpinFlat() const { return m_spinFlat; }
    void setSpinFlat(bool flat);
    bool SpinTransparent() const { return m_spinTransparent; }
    void setSpinTransparent(bool transparent);
    // The parent's background shows through the edit.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    TEditAlign EditAlign() const { return m_editAlign; }
    void setEditAlign(TEditAlign align);
    TSpinDirection Direction() const { return m_buttonPair->Direction(); }
    void setDirection(TSpinDirection direction);
    // bsSingle shows the edit's frame, bsNone hides it.
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle style);
    bool Ctl3D() const { return m_ctl3D; }
    void setCtl3D(bool ctl3D);
    // True while the edit takes its font from its parent (no font of its own was set).
    bool ParentFont() const;
    // The least height for the font: the edit grows to it at its next size change.
    int MinimumHeight() const;

    // The attached label: a sibling of the edit, created by the first LabelCaption write.
    QLabel* AttachedLabel() const { return m_label; }
    QString LabelCaption() const;
    void setLabelCaption(const QString& caption);
    TLabelPosition LabelPosition() const { return m_labelPosition; }
    void setLabelPosition(TLabelPosition position);
    // Pixels between label and edit.
    int LabelMargin() const { return m_labelMargin; }
    void setLabelMargin(int margin);
    bool LabelTransparent() const { return m_labelTransparent; }
    void setLabelTransparent(bool transparent);
    // The label's font while the edit has a font of its own.
    QFont LabelFont() const { return m_labelFont; }
    void setLabelFont(const QFont& font);
    bool LabelAlwaysEnabled() const { return m_labelAlwaysEnabled; }
    void setLabelAlwaysEnabled(bool alwaysEnabled);
    // The label turns bold while the edit has the focus.
    bool FocusLabel() const { return m_focusLabel; }
    void setFocusLabel(bool focusLabel) { m_focusLabel = focusLabel; }

    // "1.4.8.1", from VersionNumber; writing it changes nothing.
    QString Version() const;
    void setVersion(const QString& version);
    virtual quint32 VersionNumber() const;

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void replaceText(const QString& text);
    void setCaretAndSelection(int caret, int length);
    void textChangedHandler();
    void postValueReport();
    // What one step moves by: the digit left of the caret (StepUp, StepDown, smart keys), one
    // click of a button or arrow key, or one page key.
    enum class StepSize { Digit, Click, Page };
    void stepBy(int direction, StepSize size);
    std::optional<double> numberStep(StepSize size) const;
    void buttonStep(int direction);
    void stepDateField(int direction, int caret);
    void stepTimeField(int direction, int caret);
    double timeStepAt(int caret) const;
    void reapplySpinType();
    // The appearance's part of the end of loading: normal colour, flat style, bounds and label.
    void applyLoadedLook();

    // Keyboard, clipboard and focus (AdvSpinKeys.cpp).
    void keyDown(int& key, Qt::KeyboardModifiers shift);
    void pageStep(int direction);
    void arrowStep(int direction);
    bool smartKeyStep() const;
    void postKeyToSelf(int key, Qt::KeyboardModifiers modifiers);
    bool handleShortcut(QKeyEvent* event);
    QString characterMessage(QChar character);
    QChar keyPress(QChar character);
    void toggleSign();
    void forwardKey(QKeyEvent* event, int key, const QString& text);
    void pasteChecked();
    void pasteCheckedFrom(QClipboard::Mode mode);
    void cutChecked();
    bool acceptInFloat(QChar& key, bool accepted) const;
    bool editable() const;
    QMenu* createContextMenu();
    bool pressOnEditItself(Qt::FocusReason reason) const;
    bool enterControl(Qt::FocusReason reason);
    bool leaveControl(Qt::FocusReason reason);
    void focusInWithoutBaseSelection(QFocusEvent* event);
    void resetEmptyText();
    void correctOnExit();

    inline static int s_formLoadingDepth = 0;

    int m_minValue{0};
    int m_maxValue{0};
    double m_minFloatValue{0.0};
    double m_maxFloatValue{0.0};
    double m_minDateValue{0.0};
    double m_maxDateValue{0.0};
    double m_storedDate{0.0};
    double m_storedTime{0.0};
    int m_storedHex{0};
    int m_increment{1};
    double m_incrementFloat{0.1};
    int m_incrementPage{10};
    double m_incrementFloatPage{1.0};
    bool m_incrementSmart{false};
    bool m_editorEnabled{true};
    TAdvSpinType m_spinType{sptNormal};
    int m_precision{0};
    bool m_returnIsTab{false};
    bool m_autoFocus{false};
    bool m_autoSelect{true};
    int m_incrementHours{1};
    int m_incrementMinutes{1};
    bool m_showSeconds{true};
    bool m_signed{false};
    bool m_allowNullValue{true};
    bool m_loading{false};
    bool m_loadGuard{false};
    bool m_changeDetached{false};
    QString m_lastText; // the text as of the last change signal
    // The modified flag to keep while setText is under way.
    std::optional<bool> m_keptModified;
    // Set on entry, cleared on exit: a window switch neither leaves nor re-enters the control.
    bool m_isActiveControl{false};
    // Entry by a mouse press that selected the whole text: the press must not undo the selection.
    bool m_keepSelectionOnPress{false};
    // A report of the value to assistive technology is posted and not yet made.
    bool m_valueReportPosted{false};

    // --- Appearance ---------------------------------------------------------------------------
    void createButtonPair();
    void applyColor();
    void adoptPaletteColor();
    void layOut();
    void placeButtonPair();
    int borderWidth() const;
    void ApplyEditRect();
    void ApplyFlatRect(bool flat);
    void applyFormatMargins(const QMargins& margins);
    void PaintFlatLine(QPainter& painter) const;
    void PaintFocusBorder(QPainter& painter) const;
    void MakeLabel();
    void PlaceLabel();
    void lookFocusIn();
    void lookFocusOut();

    TAdvSpinButton* m_buttonPair{nullptr};
    TColor m_color{clWindow};
    bool m_applyingColor{false};
    TColor m_focusColor{clWindow};
    TColor m_focusBorderColor{clNone};
    TColor m_normalColor{clWindow};
    bool m_flat{false};
    TColor m_flatLineColor{clBlack};
    bool m_spinFlat{false};
    bool m_spinTransparent{false};
    bool m_transparent{false};
    TEditAlign m_editAlign{TEditAlign::eaLeft};
    TBorderStyle m_borderStyle{TBorderStyle::bsSingle};
    bool m_ctl3D{true};
    QMargins m_formatMargins;
    QPointer<QLabel> m_label;
    TLabelPosition m_labelPosition{TLabelPosition::lpLeftTop};
    int m_labelMargin{4};
    bool m_labelTransparent{false};
    QFont m_labelFont;
    bool m_labelAlwaysEnabled{false};
    bool m_focusLabel{false};
};
