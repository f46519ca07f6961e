#include "support/MessageBox.h"

namespace corvana {

namespace {
int shown = 0;
} // namespace

int MessageBoxesShown()
{
    return shown;
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons, const QString& caption)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setObjectName(QStringLiteral("CorvanaMessageBox"));
    ++shown;
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace corvana
