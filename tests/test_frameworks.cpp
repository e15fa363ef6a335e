#include "Program.h"

// Small apps built from the frameworks' own packages (tests/pages/frameworks):
// a session recorded with real mouse and key input, saved, and replayed
// unattended by the program itself, whose verdict must follow the app's
// final state.
class TestFrameworks : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void init()
    {
        m_s = std::make_unique<Program>();
        QVERIFY(m_s->start());
        QVERIFY(QTest::qWaitForWindowExposed(&m_s->win));
    }
    void cleanup()
    {
        QVERIFY(m_s->d.unexpected.isEmpty() && m_s->d.allAnswered());
        m_s.reset();
    }
    void reactRoutingAndControlledInput();
    void vueBindingsAndViews();
    void litShadowRootForm();

private:
    QWidget *input() { return m_s->input(); }
    QString page(const QString &name) const { return m_server.url(u"/frameworks/"_s + name).toString(); }
    QVariant js(const QString &code) { return m_s->js(code); }
    bool exists(const QString &element)
    {
        return waitUntil([&] { return js(u"!!(%1)"_s.arg(element)).toBool(); });
    }
    void click(const QString &element) { m_s->click(element); }
    void record(const QString &app);
    void checkAndStop(const QString &element);
    // Plays script unattended in the program; its exit status, and its log.
    int playUnattended(const QString &script, QString *log);
    void saveAndReplay(const QString &name, const QStringList &wanted, const QString &expected,
                       const QString &changed);

    HttpServer m_server;
    std::unique_ptr<Program> m_s;
};

void TestFrameworks::record(const QString &app)
{
    m_s->win.CmdRecord->click();
    m_s->win.TxtURL->setText(page(app));
    m_s->win.CmdGo->click();
    QVERIFY(m_s->shows(page(app)));
}

// A check of the element, the last thing recorded; recording stops.
void TestFrameworks::checkAndStop(const QString &element)
{
    m_s->win.CmdCheck->click();
    click(element);
    QVERIFY(waitUntil([&] { return m_s->workingCopy().contains("\"Check\""_L1); }));
    m_s->win.CmdStop->click();
}

int TestFrameworks::playUnattended(const QString &script, QString *log)
{
    m_s->f.writeProgramSettings();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Steps come quickly; what the app renders late is waited for, what is
    // wrong fails after two seconds.
    env.insert(u"KESTREL_STEP_INTERVAL_MS"_s, u"50"_s);
    env.insert(u"KESTREL_WAIT_MS"_s, u"2000"_s);
    QByteArray errors;
    const int status = runUnattended(script, env, &errors);
    *log = logNamed(m_s->f.logs(), QFileInfo(script).completeBaseName());
    if (status != 0)
        qWarning().noquote() << errors;
    return status;
}

// The recording, saved as name, holds the wanted lines; it passes as it is,
// and with the check's expectation changed the run fails at that check.
void TestFrameworks::saveAndReplay(const QString &name, const QStringList &wanted,
                                   const QString &expected, const QString &changed)
{
    const QString script = m_s->f.scripts() + u'/' + name;
    m_s->d.expect(u"save"_s, script);
    m_s->win.mnuSaveAs->trigger();
    QVERIFY(QFile::exists(script));
    const QString lines = m_s->workingCopy();
    for (const QString &line : wanted)
        QVERIFY2(lines.contains(line), qPrintable(lines));

    QString log;
    QCOMPARE(playUnattended(script, &log), 0);
    QVERIFY2(log.contains(" **** TEST COMPLETE - PASSED ****"_L1), qPrintable(log));
    QString text = readText(script);
    QVERIFY(text.contains(expected));
    text.replace(expected, changed);
    const QString wrong = m_s->f.scripts() + u"/wrong-"_s + name;
    QVERIFY(writeFile(wrong, text.toUtf8()));
    QCOMPARE(playUnattended(wrong, &log), 1);
    QVERIFY2(log.contains("=>failed\r\n"_L1) && !log.contains("TEST COMPLETE"_L1), qPrintable(log));
}

#define BY_ID(id) u"document.getElementById('" id "')"_s

// Client-side routing, a controlled field whose suggestions re-render on
// every key, and a list that grows.
void TestFrameworks::reactRoutingAndControlledInput()
{
    record(u"react.html"_s);
    click(u"[...document.querySelectorAll('a')].find((a) => a.textContent === 'Shopping list')"_s);
    QVERIFY(waitUntil([&] { return m_s->win.TxtURL->text() == page(u"react.html?view=list"_s); }));
    click(BY_ID("item"));
    QTest::keyClicks(input(), u"ap"_s);
    click(u"[...document.querySelectorAll('#suggestions li')].find((l) => l.textContent === 'apricot')"_s);
    QVERIFY(waitUntil([&] { return js(BY_ID("item") + u".value"_s) == "apricot"_L1; }));
    click(BY_ID("add"));
    click(BY_ID("item"));
    QTest::keyClicks(input(), u"milk"_s);
    click(BY_ID("add"));
    QVERIFY(waitUntil([&] { return js(BY_ID("count") + u".textContent"_s) == "2 items"_L1; }));
    checkAndStop(BY_ID("count"));
    saveAndReplay(u"react.csv"_s,
                  {R"("Web","Shopping list","A","onclick",)",
                   R"("Web","item","INPUT","onfocusout","ap",)",
                   R"("Web","onclick","LI","onclick","apricot",)",
                   R"("Web","item","INPUT","onfocusout","milk",)",
                   R"("Check","onclick","P","check","2 items",)"},
                  u"\"2 items\""_s, u"\"3 items\""_s);
}

// Fields bound with v-model, a field that exists only while a box is
// ticked, and views switched in place.
void TestFrameworks::vueBindingsAndViews()
{
    record(u"vue.html"_s);
    click(BY_ID("name"));
    QTest::keyClicks(input(), u"Ann"_s);
    click(BY_ID("wrap"));
    click(BY_ID("note"));
    QTest::keyClicks(input(), u"red paper"_s);
    click(BY_ID("summary"));
    QVERIFY(waitUntil([&] {
        return js(BY_ID("result") + u"?.textContent"_s) == "Order for Ann, gift wrapped: red paper"_L1;
    }));
    checkAndStop(BY_ID("result"));
    saveAndReplay(u"vue.csv"_s,
                  {R"("Web","name","INPUT","onfocusout","Ann",)", R"("Web","wrap","INPUT","onclick",)",
                   R"("Web","note","INPUT","onfocusout","red paper",)",
                   R"("Web","","BUTTON","onclick","Summary",)",
                   R"("Check","onclick","P","check","Order for Ann, gift wrapped: red paper",)"},
                  u"wrapped: red paper"_s, u"wrapped: blue paper"_s);
}

// A web component whose form and list live in an open shadow root; the
// list's markup carries the template library's comment markers.
void TestFrameworks::litShadowRootForm()
{
    const QString root = u"document.querySelector('guest-list').shadowRoot"_s;
    record(u"lit.html"_s);
    QVERIFY(exists(root));
    for (const QString &guest : {u"Ann"_s, u"Bob"_s}) {
        click(root + u".getElementById('guest')"_s);
        QTest::keyClicks(input(), guest);
        click(root + u".getElementById('invite')"_s);
    }
    QVERIFY(waitUntil([&] { return js(root + u".getElementById('count').textContent"_s) == "2 guests"_L1; }));
    checkAndStop(root + u".getElementById('count')"_s);
    saveAndReplay(u"lit.csv"_s,
                  {R"("Web","guest","INPUT","onfocusout","Ann",)",
                   R"("Web","guest","INPUT","onfocusout","Bob",)",
                   R"("Web","","BUTTON","onclick","Invite",)", R"(2 guests",)"},
                  u"2 guests\""_s, u"3 guests\""_s);
}

QTEST_MAIN(TestFrameworks)
#include "test_frameworks.moc"
