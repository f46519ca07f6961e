#pragma once
#include <QMessageBox>
#include <QString>

namespace corvana {

// A modal message box as the program shows them: caption "Corvana" (translated) unless another is given.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           const QString& caption = QString());

} // namespace corvana
