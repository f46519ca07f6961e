#pragma once
#include <QAbstractButton>
#include <QPixmap>

namespace corvana {

// A push button drawn from its own images: normal, hover, pressed (also shown while latched or
// pushed by the program) and disabled, chosen in that order of precedence. Reached by Tab only,
// so a click never takes the focus away from where the keyboard left it.
class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Face { Normal, Hover, Pressed, Disabled };

    explicit CHoverButton(QWidget* parent = nullptr);

    // Resource identifiers; disabled 0 means none. Sizes the button to the normal image.
    int LoadStateImages(int normal, int hover, int pressed, int disabled = 0);
    void SetLatched(bool latched);
    void SetEnabledState(bool enabled);
    // The program's highlight of a push button, drawn as pressed.
    void SetState(bool pushed);
    // A push button has no check state of its own: kept for callers that clear it, it changes
    // nothing.
    void SetCheck(int check);
    // A button that latches (a mode, Record, Play) tells assistive tools that it is checked while
    // it is latched, pushed by the program or holding something; a click never toggles that.
    void SetLatchable(bool latchable);
    // Play while a still photo is held in place of the live picture: checked, drawn as usual.
    void SetHeld(bool held);

    bool IsLatched() const { return m_latched != 0; }
    bool IsPushed() const { return m_pushed; }
    bool IsEnabledState() const { return m_enabled != 0; }
    bool IsHover() const { return m_hover != 0; }
    Face CurrentFace() const;
    // The image of a face; a null pixmap for a disabled face the button has no image of.
    const QPixmap& FaceImage(Face face) const { return ImageFor(face); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Space (the base class) and Enter press a focused button; other keys go on to the dialog.
    void keyPressEvent(QKeyEvent* event) override;
    void nextCheckState() override {}

private:
    const QPixmap& ImageFor(Face face) const;
    void ShowCheckedState();

    int m_hover = 0;
    int m_width = 0;
    int m_height = 0;
    QPixmap m_imageNormal;
    QPixmap m_imageHover;
    QPixmap m_imagePressed;
    QPixmap m_imageDisabled;
    int m_latched = 0;
    int m_enabled = 1;
    bool m_pushed = false;
    bool m_held = false;
};

} // namespace corvana
