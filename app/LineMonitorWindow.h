// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

class QElapsedTimer;
class QPlainTextEdit;
class QTimer;
class TLineMonitor;

// A small window beside the main one that shows the line monitor of the
// panel's line (lineMonitorReport), brought up to date once a second while
// it is shown; hidden, it runs no timer. `clock` is the monitor's clock.
// UI thread only.
class TLineMonitorWindow : public QWidget
{
    Q_OBJECT

public:
    TLineMonitorWindow(const TLineMonitor& monitor, const QElapsedTimer& clock,
                       QWidget* parent = nullptr);

    // The text shown, as of the last refresh.
    QString text() const;
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const TLineMonitor& m_monitor;
    const QElapsedTimer& m_clock;
    QPlainTextEdit* m_text = nullptr;
    QTimer* m_refresh = nullptr;
};
