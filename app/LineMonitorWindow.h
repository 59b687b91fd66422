// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QTimer;

// A small window beside the main one that shows the line monitor of the
// panel's line, as `report` gives it (lineMonitorReport), brought up to date
// once a second while it is shown; hidden, it runs no timer. UI thread only.
class TLineMonitorWindow : public QWidget
{
    Q_OBJECT

public:
    explicit TLineMonitorWindow(std::function<QString()> report, QWidget* parent = nullptr);

    // The text shown, as of the last refresh.
    QString text() const;
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const std::function<QString()> m_report;
    QPlainTextEdit* m_text = nullptr;
    QTimer* m_refresh = nullptr;
};
