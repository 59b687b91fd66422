// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QStyleOptionFrame>
#include <QTest>

using TEditAlign = TAdvSpinEdit::TEditAlign;
using TLabelPosition = TAdvSpinEdit::TLabelPosition;
using TBorderStyle = TAdvSpinEdit::TBorderStyle;

namespace {

constexpr TColor digitBackground = 4206592; // RGB 0, 48, 64
constexpr TColor digitText = 16707698;      // RGB 114, 240, 254

QFont digitFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setBold(true);
    font.setPixelSize(32);
    return font;
}

// The frame width Qt gives a line edit with a frame.
int frameWidth(const QLineEdit* edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    return edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
}

// A shown window holding spin edits and, first in the focus chain, a plain
// line edit that holds the focus when the window is activated.
struct Window
{
    QWidget widget;
    QLineEdit* other = new QLineEdit(&widget);

    Window()
    {
        widget.resize(400, 300);
        other->setGeometry(300, 260, 60, 24);
        // The pointer may still stand where an earlier test left it.
        QCursor::setPos(widget.mapToGlobal(QPoint(1, 1)));
    }

    TAdvSpinEdit* addEdit(const QRect& geometry)
    {
        auto* edit = new TAdvSpinEdit(&widget);
        edit->setGeometry(geometry);
        return edit;
    }

    bool showActive()
    {
        widget.show();
        widget.activateWindow();
        return QTest::qWaitForWindowActive(&widget) && other->hasFocus();
    }
};

// Columns of digit-coloured pixels in a picture of an edit.
QPair<int, int> textColumns(const QImage& shot, const QColor& colour, int right)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < right; ++x) {
        for (int y = 0; y < shot.height(); ++y) {
            if (shot.pixelColor(x, y) == colour) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

QPair<int, int> textRows(const QImage& shot, const QColor& colour, int right)
{
    int first = -1;
    int last = -1;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < right; ++x) {
            if (shot.pixelColor(x, y) == colour) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return {first, last};
}

} // namespace

class TestAdvSpinLook : public QObject
{
    Q_OBJECT

private slots:
    void colorConversion_data();
    void colorConversion();
    void constructedPair();
    void labelPositions_data();
    void labelPositions();
    void bottomCenterLabelWiderThanEdit();
    void minimumHeightGrowth_data();
    void minimumHeightGrowth();
    void textMargins_data();
    void textMargins();
    void centredDigitLeftOfButtons();
    void pairPlacement_data();
    void pairPlacement();
    void version();
    void focusColour_data();
    void focusColour();
    void focusBorderOnlyWhileFocused();
    void labelFollowsEnabled_data();
    void labelFollowsEnabled();
    void labelFollowsVisibleMoveAndParent();
    void pressFocusesAndStepsOnceAtRelease();
    void flatStyle();
    void transparentShowsParent();
    void formProperties();
    void focusLabelTurnsBold();
    void loadingFinishedAppliesLook();
};

void TestAdvSpinLook::colorConversion_data()
{
    QTest::addColumn<TColor>("color");
    QTest::addColumn<QColor>("expected");
    const QPalette palette = QApplication::palette();
    QTest::newRow("RGB 0, 48, 64 (digit background)") << digitBackground << QColor(0, 48, 64);
    QTest::newRow("RGB 114, 240, 254 (digit text)") << digitText << QColor(114, 240, 254);
    QTest::newRow("black") << clBlack << QColor(0, 0, 0);
    QTest::newRow("clWindow is the palette's Base") << clWindow << palette.color(QPalette::Base);
    QTest::newRow("clWindowText is the palette's Text")
        << clWindowText << palette.color(QPalette::Text);
    QTest::newRow("clBtnFace is the palette's Button")
        << clBtnFace << palette.color(QPalette::Button);
    QTest::newRow("clNone is no colour") << clNone << QColor();
}

void TestAdvSpinLook::colorConversion()
{
    QFETCH(TColor, color);
    QFETCH(QColor, expected);
    QCOMPARE(toQColor(color, QApplication::palette()), expected);
    if (!isSystemColor(color) && color != clNone) {
        QCOMPARE(fromQColor(expected), color);
    }
}

void TestAdvSpinLook::constructedPair()
{
    TAdvSpinEdit edit;
    TAdvSpinButton* pair = edit.buttonPair();
    QVERIFY(pair);
    QCOMPARE(pair->parentWidget(), &edit);
    QCOMPARE(pair->FocusControl(), &edit);
    QCOMPARE(pair->width(), 15);
    QVERIFY(!pair->isHidden());
    QVERIFY(!pair->TabStop());
    QCOMPARE(edit.AttachedLabel(), nullptr);
    QCOMPARE(edit.LabelCaption(), QString());
    // The buttons keep the speed button's own look until SpinFlat / SpinTransparent are written.
    QVERIFY(!pair->UpButton()->Flat());
    QVERIFY(pair->UpButton()->Transparent());
}

void TestAdvSpinLook::labelPositions_data()
{
    // Where the label's top and left edges go, relative to the edit.
    enum Vertical { AlignTop, Centred, AlignBottom, Above, Below };
    enum Horizontal { TextEndsBefore, StartsBefore, AlignLeft, CentredH };
    QTest::addColumn<TLabelPosition>("position");
    QTest::addColumn<int>("labelPixelSize");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<int>("horizontal");
    QTest::newRow("lpLeftTop") << TLabelPosition::lpLeftTop << 0 << int(AlignTop)
                               << int(TextEndsBefore);
    QTest::newRow("lpLeftCenter") << TLabelPosition::lpLeftCenter << 0 << int(Centred)
                                  << int(TextEndsBefore);
    QTest::newRow("lpLeftCenter, label taller than the edit")
        << TLabelPosition::lpLeftCenter << 60 << int(Centred) << int(TextEndsBefore);
    QTest::newRow("lpLeftBottom") << TLabelPosition::lpLeftBottom << 0 << int(AlignBottom)
                                  << int(TextEndsBefore);
    QTest::newRow("lpTopLeft") << TLabelPosition::lpTopLeft << 0 << int(Above) << int(AlignLeft);
    QTest::newRow("lpBottomLeft") << TLabelPosition::lpBottomLeft << 0 << int(Below)
                                  << int(AlignLeft);
    QTest::newRow("lpLeftTopLeft")
        << TLabelPosition::lpLeftTopLeft << 0 << int(AlignTop) << int(StartsBefore);
    QTest::newRow("lpLeftCenterLeft")
        << TLabelPosition::lpLeftCenterLeft << 0 << int(Centred) << int(StartsBefore);
    QTest::newRow("lpLeftBottomLeft")
        << TLabelPosition::lpLeftBottomLeft << 0 << int(AlignBottom) << int(StartsBefore);
    QTest::newRow("lpTopCenter") << TLabelPosition::lpTopCenter << 0 << int(Above) << int(CentredH);
    QTest::newRow("lpBottomCenter")
        << TLabelPosition::lpBottomCenter << 0 << int(Below) << int(CentredH);
}

void TestAdvSpinLook::labelPositions()
{
    QFETCH(TLabelPosition, position);
    QFETCH(int, labelPixelSize);
    QFETCH(int, vertical);
    QFETCH(int, horizontal);
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(150, 120, 60, 24));
    if (labelPixelSize > 0) {
        // The label uses LabelFont only while the edit has a font of its own.
        edit->setFont(QApplication::font());
        QFont big = QApplication::font();
        big.setPixelSize(labelPixelSize);
        edit->setLabelFont(big);
    }
    edit->setLabelMargin(6);
    edit->setLabelPosition(position);
    edit->setLabelCaption(QStringLiteral("Frequency"));
    QVERIFY(window.showActive());

    QLabel* label = edit->AttachedLabel();
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), &window.widget);
    QVERIFY(label->isVisible());
    const QRect e = edit->geometry();
    const int lw = label->width();
    const int lh = label->height();
    const int tw = label->fontMetrics().horizontalAdvance(label->text());
    if (labelPixelSize > 0) {
        QVERIFY(lh > e.height());
    }
    const int tops[] = {e.top(), e.top() + (e.height() - lh) / 2, e.top() + e.height() - lh,
                        e.top() - lh - 6, e.top() + e.height() + 6};
    const int lefts[] = {e.left() - tw - 6, e.left() - 6, e.left(),
                         e.left() + (e.width() - lw) / 2};
    QCOMPARE(label->y(), tops[vertical]);
    QCOMPARE(label->x(), lefts[horizontal]);
}

void TestAdvSpinLook::bottomCenterLabelWiderThanEdit()
{
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(150, 120, 60, 24));
    edit->setLabelPosition(TLabelPosition::lpBottomCenter);
    edit->setLabelCaption(QStringLiteral("A caption wider than the edit"));
    const int labelWidth = edit->AttachedLabel()->width();
    edit->resize(labelWidth - 5, edit->height());
    QVERIFY(window.showActive());

    const QRect label = edit->AttachedLabel()->geometry();
    QCOMPARE(label.left(), edit->x() - 2);
    QCOMPARE(label.right(), edit->geometry().right() + 3);
    QCOMPARE(label.top(), edit->geometry().bottom() + 1 + 4);
}

void TestAdvSpinLook::minimumHeightGrowth_data()
{
    QTest::addColumn<TBorderStyle>("borderStyle");
    QTest::addColumn<int>("border");
    QTest::newRow("bsSingle adds four border heights") << TBorderStyle::bsSingle << 4;
    QTest::newRow("bsNone") << TBorderStyle::bsNone << 0;
}

void TestAdvSpinLook::minimumHeightGrowth()
{
    QFETCH(TBorderStyle, borderStyle);
    QFETCH(int, border);
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(20, 20, 53, 22));
    edit->setBorderStyle(borderStyle);
    edit->setFont(digitFont());
    QCOMPARE(edit->height(), 22);

    const int fontHeight = QFontMetrics(digitFont()).height();
    const int systemHeight = QFontMetrics(QApplication::font()).height();
    const int expected = fontHeight + std::min(fontHeight, systemHeight) / 4 + 2 + border;
    QCOMPARE(edit->MinimumHeight(), expected);
    QVERIFY(window.showActive());
    QCOMPARE(edit->height(), expected);
    QVERIFY(expected > 22);

    // There is no upper limit.
    edit->resize(53, expected + 30);
    QCOMPARE(edit->height(), expected + 30);
}

void TestAdvSpinLook::textMargins_data()
{
    QTest::addColumn<TBorderStyle>("borderStyle");
    QTest::addColumn<bool>("ctl3D");
    QTest::addColumn<bool>("flat");
    QTest::addColumn<QMargins>("expected");
    QTest::newRow("bsSingle: two pixels short of the buttons")
        << TBorderStyle::bsSingle << true << false << QMargins(0, 0, 15 + 2, 0);
    QTest::newRow("bsNone: two more on the left, top and right")
        << TBorderStyle::bsNone << true << false << QMargins(2, 2, 15 + 2 + 2, 0);
    QTest::newRow("bsSingle without Ctl3D: two on the left")
        << TBorderStyle::bsSingle << false << false << QMargins(2, 0, 15 + 2, 0);
    QTest::newRow("Flat") << TBorderStyle::bsSingle << true << true << QMargins(2, 4, 15 + 4, 4);
}

void TestAdvSpinLook::textMargins()
{
    QFETCH(TBorderStyle, borderStyle);
    QFETCH(bool, ctl3D);
    QFETCH(bool, flat);
    QFETCH(QMargins, expected);
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(20, 20, 80, 30));
    edit->setBorderStyle(borderStyle);
    edit->setCtl3D(ctl3D);
    QVERIFY(window.showActive());
    // Every size change sets the margins for the border, so Flat goes on last.
    edit->setFlat(flat);
    QCOMPARE(edit->textMargins(), expected);
}

// The digit controls of the main window: a one-digit text stands centred in the
// part left of the buttons and is seen whole.
void TestAdvSpinLook::centredDigitLeftOfButtons()
{
    Window window;
    auto* edit = new TAdvSpinEdit(&window.widget);
    edit->setColor(digitBackground);
    edit->setFocusColor(digitBackground);
    edit->setFont(digitFont());
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, toQColor(digitText, palette));
    edit->setPalette(palette);
    edit->setEditAlign(TEditAlign::eaCenter);
    edit->setSpinFlat(true);
    edit->setSpinTransparent(true);
    edit->setGeometry(20, 20, 53, 22);
    edit->setText(QStringLiteral("7"));
    QVERIFY(window.showActive());

    const QImage shot = edit->grab().toImage();
    const int pairLeft = edit->buttonPair()->x();
    const QColor digit = toQColor(digitText, palette);
    const auto [first, last] = textColumns(shot, digit, pairLeft);
    QVERIFY(first >= 0);
    const int border = frameWidth(edit);
    const double areaCentre = (border + pairLeft - 1) / 2.0;
    QVERIFY2(qAbs((first + last) / 2.0 - areaCentre) <= 2.0,
             qPrintable(QStringLiteral("digit columns %1..%2, area centre %3")
                            .arg(first)
                            .arg(last)
                            .arg(areaCentre)));
    const auto [top, bottom] = textRows(shot, digit, pairLeft);
    QVERIFY(top > 0);
    QVERIFY(bottom < edit->height() - 1);
    QCOMPARE(shot.pixelColor(pairLeft - 1, edit->height() / 2), QColor(0, 48, 64));
}

void TestAdvSpinLook::pairPlacement_data()
{
    QTest::addColumn<TBorderStyle>("borderStyle");
    QTest::addColumn<bool>("ctl3D");
    QTest::newRow("bsSingle: flush right in the client area, one pixel shorter")
        << TBorderStyle::bsSingle << true;
    QTest::newRow("bsNone: flush right, bottom row left free") << TBorderStyle::bsNone << true;
    QTest::newRow("without Ctl3D: two pixels down, three shorter")
        << TBorderStyle::bsSingle << false;
}

void TestAdvSpinLook::pairPlacement()
{
    QFETCH(TBorderStyle, borderStyle);
    QFETCH(bool, ctl3D);
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(20, 20, 80, 40));
    edit->setBorderStyle(borderStyle);
    edit->setCtl3D(ctl3D);
    QVERIFY(window.showActive());

    const int b = borderStyle == TBorderStyle::bsSingle ? frameWidth(edit) : 0;
    const QRect client = edit->rect().adjusted(b, b, -b, -b);
    const QRect expected =
        ctl3D ? QRect(client.right() + 1 - 15, client.top(), 15, client.height() - 1)
              : QRect(b + 80 - 15 - 1, b + 2, 15, 40 - 3);
    TAdvSpinButton* pair = edit->buttonPair();
    QCOMPARE(pair->geometry(), expected);
    // The pair divides its height between its buttons.
    const int half = (expected.height() + 2) / 2;
    QCOMPARE(pair->UpButton()->geometry(), QRect(0, 0, 15, half));
    QCOMPARE(pair->DownButton()->geometry(), QRect(0, half, 15, half));
}

void TestAdvSpinLook::version()
{
    TAdvSpinEdit edit;
    QCOMPARE(edit.VersionNumber(), 0x01040801u);
    QCOMPARE(edit.Version(), QStringLiteral("1.4.8.1"));
    edit.setVersion(QStringLiteral("2.0.0.0"));
    QCOMPARE(edit.Version(), QStringLiteral("1.4.8.1"));
    QVERIFY(edit.setProperty("Version", QStringLiteral("9.9")));
    QCOMPARE(edit.property("Version").toString(), QStringLiteral("1.4.8.1"));
}

void TestAdvSpinLook::focusColour_data()
{
    QTest::addColumn<TColor>("color");
    QTest::addColumn<TColor>("focusColor");
    QTest::addColumn<TColor>("focusedColor");
    QTest::newRow("digit control: FocusColor equals Color, the look stays")
        << digitBackground << digitBackground << digitBackground;
    QTest::newRow("RGB colour, default FocusColor: the window colour while focused")
        << colorFromRgb(200, 10, 10) << clWindow << clWindow;
    QTest::newRow("FocusColor clNone keeps the colour")
        << colorFromRgb(200, 10, 10) << clNone << colorFromRgb(200, 10, 10);
}

void TestAdvSpinLook::focusColour()
{
    QFETCH(TColor, color);
    QFETCH(TColor, focusColor);
    QFETCH(TColor, focusedColor);
    Window window;
    TAdvSpinEdit* edit = nullptr;
    {
        const TAdvSpinEdit::FormLoading loading;
        edit = window.addEdit(QRect(20, 20, 60, 30));
        edit->setColor(color);
        edit->setFocusColor(focusColor);
    }
    edit->Loaded();
    QVERIFY(window.showActive());
    const QPalette system = QApplication::palette(edit);
    QCOMPARE(edit->palette().color(QPalette::Base), toQColor(color, system));

    edit->setFocus();
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->Color(), focusedColor);
    QCOMPARE(edit->palette().color(QPalette::Base), toQColor(focusedColor, system));
    // The pair's background follows the edit's current colour.
    QCOMPARE(edit->buttonPair()->palette().color(edit->buttonPair()->backgroundRole()),
             toQColor(focusedColor, system));

    window.other->setFocus();
    QCOMPARE(edit->Color(), color);
    QCOMPARE(edit->palette().color(QPalette::Base), toQColor(color, system));
}

void TestAdvSpinLook::focusBorderOnlyWhileFocused()
{
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(20, 20, 60, 30));
    edit->setFocusBorderColor(colorFromRgb(255, 0, 0));
    QVERIFY(window.showActive());
    QVERIFY(edit->grab().toImage().pixelColor(0, 10) != QColor(Qt::red));

    edit->setFocus();
    const QImage focused = edit->grab().toImage();
    QCOMPARE(focused.pixelColor(0, 10), QColor(Qt::red));
    QCOMPARE(focused.pixelColor(30, edit->height() - 1), QColor(Qt::red));

    window.other->setFocus();
    QVERIFY(edit->grab().toImage().pixelColor(0, 10) != QColor(Qt::red));
}

void TestAdvSpinLook::labelFollowsEnabled_data()
{
    QTest::addColumn<bool>("alwaysEnabled");
    QTest::newRow("label follows the edit") << false;
    QTest::newRow("LabelAlwaysEnabled keeps the label enabled") << true;
}

void TestAdvSpinLook::labelFollowsEnabled()
{
    QFETCH(bool, alwaysEnabled);
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(150, 20, 60, 30));
    edit->setLabelCaption(QStringLiteral("Step"));
    edit->setLabelAlwaysEnabled(alwaysEnabled);
    QVERIFY(window.showActive());

    edit->setEnabled(false);
    QCOMPARE(edit->AttachedLabel()->isEnabled(), alwaysEnabled);
    QVERIFY(!edit->buttonPair()->UpButton()->isEnabled());
    QVERIFY(!edit->buttonPair()->DownButton()->isEnabled());
    edit->setEnabled(true);
    QVERIFY(edit->AttachedLabel()->isEnabled());
    QVERIFY(edit->buttonPair()->UpButton()->isEnabled());
}

void TestAdvSpinLook::labelFollowsVisibleMoveAndParent()
{
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(150, 20, 60, 30));
    edit->setLabelCaption(QStringLiteral("Step"));
    QVERIFY(window.showActive());
    QLabel* label = edit->AttachedLabel();

    edit->hide();
    QVERIFY(label->isHidden());
    edit->show();
    QVERIFY(label->isVisible());

    const QPoint before = label->pos();
    edit->move(edit->pos() + QPoint(10, 20));
    QCOMPARE(label->pos(), before + QPoint(10, 20));

    QWidget panel(&window.widget);
    panel.setGeometry(0, 100, 300, 150);
    panel.show();
    edit->setParent(&panel);
    edit->show();
    QCOMPARE(label->parentWidget(), &panel);
    QVERIFY(label->isVisible());

    // The edit frees its label.
    const QPointer<QLabel> watch = label;
    delete edit;
    QVERIFY(watch.isNull());
}

void TestAdvSpinLook::pressFocusesAndStepsOnceAtRelease()
{
    Window window;
    TAdvSpinEdit* first = window.addEdit(QRect(20, 20, 60, 30));
    TAdvSpinEdit* second = window.addEdit(QRect(120, 20, 60, 30));
    QVERIFY(window.showActive());
    first->setFocus();
    QVERIFY(first->hasFocus());

    TAdvTimerSpeedButton* up = second->buttonPair()->UpButton();
    QTest::mousePress(up, Qt::LeftButton, {}, up->rect().center());
    QVERIFY(second->hasFocus());
    QCOMPARE(second->text(), QStringLiteral("0"));
    QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
    QCOMPARE(second->text(), QStringLiteral("1"));
    QCOMPARE(first->text(), QStringLiteral("0"));

    TAdvTimerSpeedButton* down = second->buttonPair()->DownButton();
    QTest::mouseClick(down, Qt::LeftButton, {}, down->rect().center());
    QCOMPARE(second->text(), QStringLiteral("0"));
}

void TestAdvSpinLook::flatStyle()
{
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(20, 20, 80, 30));
    const TColor before = colorFromRgb(10, 120, 10);
    edit->setColor(before);
    edit->setFlatLineColor(colorFromRgb(255, 0, 0));
    QVERIFY(window.showActive());

    edit->setFlat(true);
    QCOMPARE(edit->BorderStyle(), TBorderStyle::bsNone);
    QVERIFY(!edit->hasFrame());
    QCOMPARE(edit->NormalColor(), before);
    const QImage shot = edit->grab().toImage();
    const int bottom = edit->height() - 1;
    const int lineRight = edit->width() - 15 - 4 - 1;
    QCOMPARE(shot.pixelColor(2, bottom), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(lineRight, bottom), QColor(Qt::red));
    QVERIFY(shot.pixelColor(1, bottom) != QColor(Qt::red));
    QVERIFY(shot.pixelColor(lineRight + 1, bottom) != QColor(Qt::red));
    // The buttons stand flush right, one pixel above the line.
    QCOMPARE(edit->buttonPair()->geometry().right(), edit->width() - 1);
    QCOMPARE(edit->buttonPair()->geometry().bottom(), bottom - 1);

    edit->setColor(colorFromRgb(1, 2, 3));
    edit->setFlat(false);
    QCOMPARE(edit->BorderStyle(), TBorderStyle::bsSingle);
    QVERIFY(edit->hasFrame());
    QCOMPARE(edit->Color(), before);
}

void TestAdvSpinLook::transparentShowsParent()
{
    Window window;
    QPalette palette = window.widget.palette();
    palette.setColor(QPalette::Window, Qt::magenta);
    window.widget.setPalette(palette);
    window.widget.setAutoFillBackground(true);
    TAdvSpinEdit* edit = window.addEdit(QRect(20, 20, 80, 30));
    edit->setText(QString());
    QVERIFY(window.showActive());
    const QPoint inside(10, edit->height() / 2);
    QVERIFY(edit->grab().toImage().pixelColor(inside) != QColor(Qt::magenta));

    edit->setTransparent(true);
    const QImage shot = window.widget.grab().toImage();
    QCOMPARE(shot.pixelColor(edit->mapToParent(inside)), QColor(Qt::magenta));
}

void TestAdvSpinLook::formProperties()
{
    TAdvSpinEdit edit;
    QVERIFY(edit.setProperty("Color", uint(digitBackground)));
    QVERIFY(edit.setProperty("FocusColor", uint(digitBackground)));
    QVERIFY(edit.setProperty("EditAlign", QStringLiteral("eaCenter")));
    QVERIFY(edit.setProperty("SpinFlat", true));
    QVERIFY(edit.setProperty("SpinTransparent", true));
    QVERIFY(edit.setProperty("Flat", true));
    QCOMPARE(edit.Color(), digitBackground);
    QCOMPARE(edit.FocusColor(), digitBackground);
    QCOMPARE(edit.EditAlign(), TEditAlign::eaCenter);
    QCOMPARE(edit.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(edit.buttonPair()->UpButton()->Flat());
    QVERIFY(edit.buttonPair()->DownButton()->Flat());
    QVERIFY(edit.Flat());

    // A form that gives the background as the palette's Base colour sets Color too.
    QPalette palette = edit.palette();
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    edit.setPalette(palette);
    QCOMPARE(edit.Color(), colorFromRgb(1, 2, 3));
}

void TestAdvSpinLook::focusLabelTurnsBold()
{
    Window window;
    TAdvSpinEdit* edit = window.addEdit(QRect(150, 20, 60, 30));
    edit->setLabelCaption(QStringLiteral("Step"));
    edit->setFocusLabel(true);
    QVERIFY(window.showActive());
    QVERIFY(!edit->AttachedLabel()->font().bold());

    edit->setFocus();
    QVERIFY(edit->AttachedLabel()->font().bold());
    window.other->setFocus();
    QVERIFY(!edit->AttachedLabel()->font().bold());
}

void TestAdvSpinLook::loadingFinishedAppliesLook()
{
    Window window;
    TAdvSpinEdit* edit = nullptr;
    {
        const TAdvSpinEdit::FormLoading loading;
        edit = window.addEdit(QRect(150, 20, 60, 30));
        edit->setFlat(true);
        edit->setColor(digitBackground);
        edit->setLabelCaption(QStringLiteral("Step"));
        edit->setEnabled(false);
        // While loading, Flat is only stored and the label is left alone.
        QVERIFY(edit->Flat());
        QCOMPARE(edit->BorderStyle(), TBorderStyle::bsSingle);
        QVERIFY(edit->AttachedLabel()->isEnabled());
    }
    edit->Loaded();
    QCOMPARE(edit->BorderStyle(), TBorderStyle::bsNone);
    QVERIFY(!edit->hasFrame());
    QCOMPARE(edit->NormalColor(), digitBackground);
    QVERIFY(!edit->AttachedLabel()->isEnabled());
    QCOMPARE(edit->AttachedLabel()->y(), edit->y());
}

QTEST_MAIN(TestAdvSpinLook)
#include "tst_advspin_look.moc"
