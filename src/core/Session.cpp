#include "core/Session.h"

QString modeText(Mode mode)
{
    switch (mode) {
    case Mode::Idle:
        return QString();
    case Mode::Record:
        return QStringLiteral("record");
    case Mode::Check:
        return QStringLiteral("check");
    case Mode::ManualStep:
        return QStringLiteral("Manual step");
    case Mode::Play:
        return QStringLiteral("play");
    case Mode::Manual:
        return QStringLiteral("manual");
    }
    return QString();
}
