#include "platform/MouseHandlerAPI.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace {
void sendMouse(QWidget *target, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPointF global = target->mapToGlobal(QPointF(local));
    QMouseEvent event(type, QPointF(local), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
} // namespace

bool LeftClick()
{
    const QPoint global = QCursor::pos();
    // The active window is on top wherever it is; not every window system
    // says how the others are stacked (a headless one does not).
    QWidget *target = nullptr;
    QWidget *active = QApplication::activeWindow();
    if (active && active->isVisible() && active->geometry().contains(global)) {
        target = active->childAt(active->mapFromGlobal(global));
        if (!target)
            target = active;
    }
    if (!target)
        target = QApplication::widgetAt(global);
    if (!target)
        return false;
    clickWidgetAt(target, target->mapFromGlobal(global));
    return true;
}

void clickWidgetAt(QWidget *target, QPoint pos)
{
    // The press may start a navigation that destroys the target.
    QPointer<QWidget> t(target);
    sendMouse(t, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
    if (t)
        sendMouse(t, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    if (t)
        sendMouse(t, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void pressEnter(QWidget *target)
{
    QPointer<QWidget> t(target);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(t, &press);
    if (!t)
        return;
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(t, &release);
}
