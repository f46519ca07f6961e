#include "ui/CAboutDlg.h"

#include "res/Bitmaps.h"
#include "support/CSettingsStore.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace corvana {

CAboutDlg::CAboutDlg(QWidget* parent)
    // A modal frame with caption and system menu: a close button, nothing to minimise or maximise.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    // The About box shares the dialog class name, so a second start sees a dialog open.
    setObjectName(QStringLiteral("CorvanaDlg"));
    setWindowTitle(QStringLiteral("About Corvana"));
    setWindowIcon(ProgramIcon());

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Corvana Version"), this);
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("1037"));
    m_version->setTextFormat(Qt::PlainText);
    m_version->setText(CSettingsStore::LoadVersion());
    auto* notice = new QLabel(QStringLiteral("Copyright (C) Tessaly. All rights reserved."), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(m_version, 0, 2);
    layout->addWidget(ok, 0, 3);
    layout->addWidget(notice, 1, 1, 1, 3);
    layout->setColumnStretch(2, 1);
    // Fixed before the window exists, so the window manager never offers to resize or maximise it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->activate();
}

QString CAboutDlg::VersionText() const
{
    return m_version->text();
}

} // namespace corvana
