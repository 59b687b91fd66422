// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineMonitorWindow.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int refreshIntervalMs = 1000; // the polls per second change by the second
} // namespace

TLineMonitorWindow::TLineMonitorWindow(std::function<QString()> report, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_report(std::move(report)), m_text(new QPlainTextEdit(this)),
      m_refresh(new QTimer(this))
{
    setWindowTitle(tr("Line monitor"));
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    resize(480, 320);
    m_refresh->setInterval(refreshIntervalMs);
    connect(m_refresh, &QTimer::timeout, this, &TLineMonitorWindow::refresh);
}

QString TLineMonitorWindow::text() const
{
    return m_text->toPlainText();
}

void TLineMonitorWindow::refresh()
{
    const QString report = m_report();
    if (report != m_text->toPlainText())
        m_text->setPlainText(report);
}

void TLineMonitorWindow::showEvent(QShowEvent* event)
{
    refresh();
    m_refresh->start();
    QWidget::showEvent(event);
}

void TLineMonitorWindow::hideEvent(QHideEvent* event)
{
    m_refresh->stop();
    QWidget::hideEvent(event);
}
