#pragma once
#include <QDialog>

class QLabel;

namespace corvana {

// "About Corvana": the program icon, its name and the machine's version text.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QString VersionText() const;

private:
    QLabel* m_version = nullptr;
};

} // namespace corvana
