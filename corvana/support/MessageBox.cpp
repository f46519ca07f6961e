#include "support/MessageBox.h"

#include <QCoreApplication>

namespace corvana {

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons, const QString& caption)
{
    QMessageBox box(icon, caption.isNull() ? QCoreApplication::translate("MessageBox", "Corvana") : caption, text,
                    buttons, parent);
    box.setObjectName(QStringLiteral("CorvanaMessageBox"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace corvana
