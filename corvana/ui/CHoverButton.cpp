#include "ui/CHoverButton.h"

#include "res/ArtStyle.h"
#include "res/Bitmaps.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace corvana {

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover, false);
    // Moves with no button held light the hover image again after a press ended elsewhere.
    setMouseTracking(true);
}

int CHoverButton::LoadStateImages(int normal, int hover, int pressed, int disabled)
{
    m_imageNormal = LoadBitmap(normal);
    const QSize size = m_imageNormal.deviceIndependentSize().toSize();
    m_width = size.width();
    m_height = size.height();
    setFixedSize(m_width, m_height);
    m_imageHover = LoadBitmap(hover);
    m_imagePressed = LoadBitmap(pressed);
    if (disabled != 0)
        m_imageDisabled = LoadBitmap(disabled);
    update();
    return 1;
}

void CHoverButton::SetLatched(bool latched)
{
    m_latched = latched ? 1 : 0;
    ShowCheckedState();
    repaint();
}

void CHoverButton::SetEnabledState(bool enabled)
{
    m_enabled = enabled ? 1 : 0;
    repaint();
    setEnabled(enabled);
}

void CHoverButton::SetState(bool pushed)
{
    m_pushed = pushed;
    ShowCheckedState();
    update();
}

void CHoverButton::SetCheck(int)
{
}

void CHoverButton::SetLatchable(bool latchable)
{
    setCheckable(latchable);
    ShowCheckedState();
}

void CHoverButton::SetHeld(bool held)
{
    m_held = held;
    ShowCheckedState();
}

// The checked state is what assistive tools read; setting it also tells them of the change.
void CHoverButton::ShowCheckedState()
{
    if (isCheckable())
        setChecked(m_latched || m_pushed || m_held);
}

CHoverButton::Face CHoverButton::CurrentFace() const
{
    if (!m_enabled)
        return Face::Disabled;
    if (isDown() || m_pushed || m_latched)
        return Face::Pressed;
    if (m_hover)
        return Face::Hover;
    return Face::Normal;
}

const QPixmap& CHoverButton::ImageFor(Face face) const
{
    switch (face) {
    case Face::Disabled: return m_imageDisabled;
    case Face::Pressed: return m_imagePressed;
    case Face::Hover: return m_imageHover;
    case Face::Normal: break;
    }
    return m_imageNormal;
}

QSize CHoverButton::sizeHint() const
{
    return {m_width, m_height};
}

void CHoverButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap& chosen = ImageFor(CurrentFace());
    // An empty slot (a disabled image never given) falls back to the normal image.
    const QPixmap& image = chosen.isNull() ? m_imageNormal : chosen;
    if (!image.isNull())
        painter.drawPixmap(QPointF(0, 0), image);
    if (hasFocus()) {
        // The keyboard's place: an accent ring inside the outline, like the hover edge but
        // inset, so it reads on every face including pressed and disabled.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ArtStyle::Colour(ArtStyle::kAccent), 1.5, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 2.5, 2.5);
    }
}

void CHoverButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            animateClick();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CHoverButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    m_hover = 1;
    update();
}

void CHoverButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    m_hover = 0;
    update();
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractButton::mouseMoveEvent(event);
    const bool over = rect().contains(event->position().toPoint());
    if (event->buttons() & Qt::LeftButton) {
        // The button keeps the mouse while it is held, so no leave arrives: dragging off it
        // clears the hover image, and dragging back does not light it again.
        if (m_hover && !over) {
            m_hover = 0;
            update();
        }
        return;
    }
    if (!m_hover && over) {
        m_hover = 1;
        update();
    }
}

} // namespace corvana
