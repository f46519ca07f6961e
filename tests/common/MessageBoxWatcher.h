#pragma once
// Answers the program's real modal message boxes from a test: every few milliseconds it looks
// for a visible QMessageBox, records its caption, text and icon, and presses the chosen button.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QVector>

struct SeenMessageBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

class MessageBoxWatcher : public QObject {
public:
    explicit MessageBoxWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_answer(answer)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(10);
    }
    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    const QVector<SeenMessageBox>& Seen() const { return m_seen; }
    QStringList Texts() const
    {
        QStringList texts;
        for (const SeenMessageBox& seen : m_seen)
            texts << seen.text;
        return texts;
    }
    void Clear() { m_seen.clear(); }

private:
    void Poll()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible() || box->property("answeredByWatcher").toBool())
                continue;
            box->setProperty("answeredByWatcher", true);
            m_seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            QAbstractButton* button = box->button(m_answer);
            if (!button && !box->buttons().isEmpty())
                button = box->buttons().first();
            if (button)
                QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
        }
    }

    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    QVector<SeenMessageBox> m_seen;
};
