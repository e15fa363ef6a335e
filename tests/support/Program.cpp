#include "Program.h"

bool Program::start(const QString &gFile)
{
    f.writeSettings(gFile);
    return k.Form_Load();
}

bool Program::shows(const QString &urlEnd)
{
    return waitUntil(
        [&] { return browser()->LocationURL().endsWith(urlEnd) && !browser()->Busy(); });
}

void Program::click(const QString &element, bool press)
{
    QVERIFY2(waitUntil([&] { return js(u"!!(%1)"_s.arg(element)).toBool(); }), qPrintable(element));
    QPoint p = centreOf(browser()->page(), element);
    QTest::mouseMove(input(), QPoint(-5, -5));
    QTest::mouseMove(input(), p);
    // The element under the pointer, inside open shadow roots too.
    const QString probe = u"(function () { let e = document.elementFromPoint(%1, %2), i;"
                          " while (e.shadowRoot && (i = e.shadowRoot.elementFromPoint(%1, %2))"
                          " && i !== e) e = i; return e.style.borderTopWidth; })()"_s
                              .arg(p.x()).arg(p.y());
    if (recording())
        QVERIFY2(waitUntil([&] { return js(probe) == "3px"_L1; }), qPrintable(element));
    if (!press)
        return;
    QTest::mouseMove(input(), p = centreOf(browser()->page(), element));
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
}

int runUnattended(const QString &script, const QProcessEnvironment &env, QByteArray *errors)
{
    QProcess p;
    p.setProcessEnvironment(env);
    const int code = runToEnd(p, u"" KESTREL_BUILD_DIR "/kestrel"_s, {script});
    if (errors)
        *errors = p.readAllStandardError();
    return code;
}

QString logNamed(const QString &folder, const QString &prefix)
{
    const QStringList logs = QDir(folder).entryList({prefix + u"_*.log"_s}, QDir::Files);
    return logs.size() == 1 ? readText(folder + u'/' + logs[0]) : QString();
}
