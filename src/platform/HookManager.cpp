#include "platform/HookManager.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

HookManager &HookManager::instance()
{
    static HookManager *manager = new HookManager;
    return *manager;
}

void HookManager::HookInstall(IWindowsHook *callback, int hookType)
{
    m_hooks.insert({callback, hookType});
    updateFilter();
}

void HookManager::HookRemove(IWindowsHook *callback, int hookType)
{
    m_hooks.remove({callback, hookType});
    updateFilter();
}

bool HookManager::isInstalled(IWindowsHook *callback, int hookType) const
{
    return m_hooks.contains({callback, hookType});
}

void HookManager::updateFilter()
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return;
    const bool want = !m_hooks.isEmpty();
    if (want && !m_filtering)
        app->installEventFilter(this);
    else if (!want && m_filtering)
        app->removeEventFilter(this);
    m_filtering = want;
}

bool HookManager::dispatch(int type, int wParam, const HookInfo &info)
{
    bool consume = false;
    // Copy: a callback may install or remove hooks.
    const auto hooks = m_hooks;
    for (const auto &hook : hooks) {
        if (hook.second == type && m_hooks.contains(hook))
            hook.first->HookProc(type, 0, wParam, info, consume);
    }
    return consume;
}

bool HookManager::isRepeat(const QInputEvent *event)
{
    QPointF pos;
    if (event->isPointerEvent())
        pos = static_cast<const QSinglePointEvent *>(event)->globalPosition();
    const bool same = event->type() == m_lastType && event->timestamp() == m_lastStamp
                      && pos == m_lastPos;
    m_lastType = event->type();
    m_lastStamp = event->timestamp();
    m_lastPos = pos;
    return same;
}

bool HookManager::eventFilter(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType())
        return false;
    // Only input the user made; events the program posts itself are not hooked.
    // (Leaving a window is reported by Qt itself, never spontaneously.)
    if (!event->spontaneous() && event->type() != QEvent::Leave)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress && me->button() != Qt::LeftButton)
            return false;
        if (isRepeat(me))
            return false;
        const QPoint g = me->globalPosition().toPoint();
        const int msg = event->type() == QEvent::MouseMove ? MouseMove : LeftButtonDown;
        return dispatch(Mouse, msg, HookInfo{{g.x(), g.y()}, {}});
    }
    case QEvent::Leave: {
        // Only leaving a window, not moving from one control to the next.
        if (!static_cast<QWidget *>(watched)->isWindow())
            return false;
        return dispatch(Mouse, MouseLeave, HookInfo{});
    }
    case QEvent::KeyPress: {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() != Qt::Key_Alt)
            return false;
        if (isRepeat(ke))
            return false;
        return dispatch(Keyboard, VkAlt, HookInfo{{}, {VkAlt, !ke->isAutoRepeat()}});
    }
    default:
        return false;
    }
}
