#include "ui/CAboutDlg.h"

#include "res/Bitmaps.h"
#include "support/CSettingsStore.h"

#include <QCoreApplication>
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
    setWindowTitle(QCoreApplication::translate("CAboutDlg", "About Corvana"));
    setWindowIcon(ProgramIcon());

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setAccessibleName(QCoreApplication::translate("CAboutDlg", "Corvana icon"));
    icon->setAccessibleDescription(QCoreApplication::translate("CAboutDlg", "The program's icon."));
    auto* name = new QLabel(QCoreApplication::translate("CAboutDlg", "Corvana Version"), this);
    name->setAccessibleName(name->text());
    name->setAccessibleDescription(QCoreApplication::translate("CAboutDlg", "The program's name."));
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("1037"));
    m_version->setTextFormat(Qt::PlainText);
    m_version->setText(CSettingsStore::LoadVersion());
    // The name carries the version itself: a screen reader reads a label by its name.
    m_version->setAccessibleName(m_version->text().isEmpty()
                                     ? QCoreApplication::translate("CAboutDlg", "Version")
                                     : QCoreApplication::translate("CAboutDlg", "Version %1").arg(m_version->text()));
    m_version->setAccessibleDescription(QCoreApplication::translate("CAboutDlg", "The version of this Corvana."));
    auto* notice = new QLabel(QCoreApplication::translate("CAboutDlg", "Copyright (C) Tessaly. All rights reserved."), this);
    notice->setAccessibleName(QCoreApplication::translate("CAboutDlg", "Copyright"));
    notice->setAccessibleDescription(notice->text());
    auto* ok = new QPushButton(QCoreApplication::translate("CAboutDlg", "OK"), this);
    ok->setAccessibleName(ok->text());
    ok->setAccessibleDescription(QCoreApplication::translate("CAboutDlg", "Closes this box."));
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
