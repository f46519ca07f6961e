#pragma once
#include <QMessageBox>
#include <QString>

namespace corvana {

// A modal message box as the program shows them: caption "Corvana" unless another is given.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           const QString& caption = QStringLiteral("Corvana"));

// How many message boxes the program has shown so far: lets a caller see whether a step it ran
// has already told the user something.
int MessageBoxesShown();

} // namespace corvana
