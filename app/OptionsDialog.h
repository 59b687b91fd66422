// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <QWidget>

class QLabel;
class QTabWidget;

// One page of the options dialog: it shows a setting as it is in effect, and
// on OK puts what it shows into effect and into the window's stored settings,
// which closing writes (as the command line's options are kept).
class TOptionsPage : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Why what the page shows cannot be taken, fit to show the operator;
    // empty when it can.
    virtual QString problem() const = 0;
    // Puts what the page shows into effect; a setting that did not change is
    // left alone. What then fails is reported through showErrorMessage.
    virtual void apply() = 0;
};

// "Options…": one tab for each page. OK shows the first page's problem under
// the pages and stays open; without one it applies every page and closes.
// Cancel changes nothing. UI thread only.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(QWidget* parent);

    // Adds `page` (taken over) as the tab `title`.
    void addPage(TOptionsPage* page, const QString& title);

    QTabWidget* pages() const { return m_pages; }
    QLabel* message() const { return m_message; }

    void accept() override;

private:
    QTabWidget* m_pages;
    QLabel* m_message;
};
