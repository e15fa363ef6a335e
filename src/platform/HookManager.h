#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QSet>
#include <QPair>

class QInputEvent;

struct MouseInfoData
{
    int x = 0; // screen pixels
    int y = 0;
};

struct KeyInfoData
{
    int vk = 0;
    bool KeyFlag = false; // true once per press (auto-repeat ignored)
};

// What a hook is told besides the message: the pointer's place for the
// mouse hook, the key for the keyboard hook.
struct HookInfo
{
    MouseInfoData mouse;
    KeyInfoData key;
};

// Callback of the hook manager; implemented by the recorder.
class IWindowsHook
{
public:
    virtual ~IWindowsHook() = default;
    // eType: 7 mouse, 2 keyboard. wParam: message number (mouse) or virtual
    // key (keyboard).
    virtual int HookProc(int eType, int nCode, int wParam, const HookInfo &info,
                         bool &bConsume) = 0;
};

// Hooks over the program's own windows, as an application-wide event filter:
// mouse moves (512), left presses (513), leaving a window (160) and Alt
// presses (virtual key 18). One hook per callback and type.
class HookManager : public QObject
{
    Q_OBJECT
public:
    enum HookType { Keyboard = 2, Mouse = 7 };
    enum Message { MouseMove = 512, LeftButtonDown = 513, MouseLeave = 160 };
    static constexpr int VkAlt = 18;

    static HookManager &instance();

    void HookInstall(IWindowsHook *callback, int hookType);
    void HookRemove(IWindowsHook *callback, int hookType);
    bool isInstalled(IWindowsHook *callback, int hookType) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    HookManager() = default;
    void updateFilter();
    bool dispatch(int type, int wParam, const HookInfo &info);

    QSet<QPair<IWindowsHook *, int>> m_hooks;
    bool m_filtering = false;
    // One input event reaches the widget and then its parents; hook it once.
    bool isRepeat(const QInputEvent *event);
    int m_lastType = 0;
    quint64 m_lastStamp = 0;
    QPointF m_lastPos;
};
