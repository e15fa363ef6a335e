// Mouse presses and the Alt key, seen through the hook manager.
#include "recorder/MousePress.h"

#include "recorder/Recorder.h"

#include "platform/BrowserElement.h"
#include "platform/Screen.h"
#include "script/ScriptDocument.h"
#include "script/ScriptWriter.h"

#include <QDateTime>
#include <cmath>

QString signedText(double v)
{
    const QString digits = QString::number(v, 'g', 15);
    return v < 0 ? digits : QLatin1Char(' ') + digits;
}

void Recorder::ChkWindowsEvent_Click()
{
    if (m_view->recordMouseChecked()) {
        HookManager::instance().HookInstall(this, HookManager::Mouse);
    } else {
        HookManager::instance().HookRemove(this, HookManager::Mouse);
        m_view->setMouseLabel(QStringLiteral("Not Recording Mouse"));
    }
}

void Recorder::stopMouseHook()
{
    HookManager::instance().HookRemove(this, HookManager::Mouse);
}

void Recorder::removeHooks()
{
    HookManager::instance().HookRemove(this, HookManager::Mouse);
    HookManager::instance().HookRemove(this, HookManager::Keyboard);
}

int Recorder::HookProc(int eType, int, int wParam, const HookInfo &info, bool &bConsume)
{
    if (eType == HookManager::Mouse && m_view) {
        const MouseInfoData &m = info.mouse;
        const double x = twipsPerPixelX() * m.x;
        // Halves to even, as the player converts them back.
        const double y = std::nearbyint(twipsPerPixelY() * m.y);
        switch (wParam) {
        case HookManager::MouseLeave:
            m_view->setMouseLabel(QStringLiteral("Mouse outside window"));
            break;
        case HookManager::MouseMove:
            m_view->setMouseLabel(QString::number(x, 'g', 15) + QLatin1Char(',')
                                  + QString::number(y, 'g', 15));
            break;
        case HookManager::LeftButtonDown: {
            if (!m_view->recordMouseChecked() || session.g.gMode != Mode::Record)
                break;
            // At most one press per clock second; a double click is one.
            const QDateTime now = QDateTime::currentDateTime();
            const QString second = QStringLiteral("hh:mm:ss");
            if (session.lastclick.isValid()
                && session.lastclick.toString(second) == now.toString(second))
                break;
            // Presses on the controls left of the browser are not page presses.
            if (BrowserElement *b = browser(); b && x < b->Left())
                break;
            script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("mousedown"),
                                    QString(), QString(), signedText(x), signedText(y));
            session.lastclick = now;
            break;
        }
        default:
            break;
        }
        return 0;
    }
    if (eType == HookManager::Keyboard) {
        const KeyInfoData &key = info.key;
        if (session.g.gMode == Mode::Check && key.KeyFlag && wParam == HookManager::VkAlt) {
            ProcessWebEvent(QString(), QStringLiteral("altkey"));
            bConsume = true;
        }
    }
    return 0;
}
