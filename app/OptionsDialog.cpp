// SPDX-License-Identifier: GPL-3.0-or-later

#include "OptionsDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

TOptionsDialog::TOptionsDialog(QWidget* parent)
    : QDialog(parent), m_pages(new QTabWidget(this)), m_message(new QLabel(this))
{
    setWindowTitle(tr("Options"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TOptionsDialog::reject);
    m_message->setWordWrap(true);
    m_message->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
}

void TOptionsDialog::addPage(TOptionsPage* page, const QString& title)
{
    m_pages->addTab(page, title);
}

void TOptionsDialog::accept()
{
    for (int i = 0; i < m_pages->count(); ++i) {
        auto* page = static_cast<TOptionsPage*>(m_pages->widget(i));
        if (const QString problem = page->problem(); !problem.isEmpty()) {
            m_pages->setCurrentIndex(i);
            m_message->setText(problem);
            m_message->show();
            return;
        }
    }
    for (int i = 0; i < m_pages->count(); ++i)
        static_cast<TOptionsPage*>(m_pages->widget(i))->apply();
    QDialog::accept();
}
