#include "Program.h"

// Small apps built from the frameworks' own packages (tests/pages/frameworks),
// recorded with real mouse and key input, saved, and replayed unattended by
// the program, whose verdict must follow the app's final state.
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
    void click(const QString &element) { m_s->click(element); }
    void record(const QString &app);
    void checkSaveAndReplay(const QString &element, const QString &name, const QStringList &wanted,
                            const QString &expected, const QString &changed);

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

// A check of the element ends the recording, which is saved as name and
// holds the wanted lines. Replayed unattended it passes as it is, and with
// the check's expectation changed it fails at that check.
void TestFrameworks::checkSaveAndReplay(const QString &element, const QString &name,
                                        const QStringList &wanted, const QString &expected,
                                        const QString &changed)
{
    m_s->win.CmdCheck->click();
    click(element);
    QVERIFY(waitUntil([&] { return m_s->workingCopy().contains("\"Check\""_L1); }));
    m_s->win.CmdStop->click();
    const QString script = m_s->f.scripts() + u'/' + name;
    m_s->d.expect(u"save"_s, script);
    m_s->win.mnuSaveAs->trigger();
    const QString lines = readText(script);
    for (const QString &line : wanted)
        QVERIFY2(lines.contains(line), qPrintable(lines));

    // Steps come quickly; what the app renders late is waited for, what is
    // wrong fails after two seconds.
    m_s->f.writeProgramSettings();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"KESTREL_STEP_INTERVAL_MS"_s, u"50"_s);
    env.insert(u"KESTREL_WAIT_MS"_s, u"2000"_s);
    QByteArray errors;
    QVERIFY2(runUnattended(script, env, &errors) == 0, errors.constData());
    QString log = logNamed(m_s->f.logs(), QFileInfo(script).completeBaseName());
    QVERIFY2(log.contains(" **** TEST COMPLETE - PASSED ****"_L1), qPrintable(log));
    const QString wrong = m_s->f.scripts() + u"/wrong-"_s + name;
    QVERIFY(writeFile(wrong, QString(lines).replace(expected, changed).toUtf8()));
    QCOMPARE(runUnattended(wrong, env), 1);
    log = logNamed(m_s->f.logs(), QFileInfo(wrong).completeBaseName());
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
    QVERIFY(waitUntil([&] { return m_s->js(BY_ID("item") + u".value"_s) == "apricot"_L1; }));
    click(BY_ID("add"));
    click(BY_ID("item"));
    QTest::keyClicks(input(), u"milk"_s);
    click(BY_ID("add"));
    // Waiting for what the app shows lets the recording catch up first.
    QVERIFY(waitUntil([&] { return m_s->js(BY_ID("count") + u".textContent"_s) == "2 items"_L1; }));
    checkSaveAndReplay(BY_ID("count"), u"react.csv"_s,
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
    const QString result = u"Order for Ann, gift wrapped: red paper"_s;
    QVERIFY(waitUntil([&] { return m_s->js(BY_ID("result") + u"?.textContent"_s) == result; }));
    checkSaveAndReplay(BY_ID("result"), u"vue.csv"_s,
                       {R"("Web","name","INPUT","onfocusout","Ann",)", R"("Web","wrap","INPUT","onclick",)",
                        R"("Web","note","INPUT","onfocusout","red paper",)",
                        R"("Web","","BUTTON","onclick","Summary",)",
                        R"("Check","onclick","P","check",")" + result},
                       u"wrapped: red paper"_s, u"wrapped: blue paper"_s);
}

// A web component whose form and list live in an open shadow root; the
// list's markup carries the template library's comment markers.
void TestFrameworks::litShadowRootForm()
{
    const QString root = u"document.querySelector('guest-list').shadowRoot"_s;
    record(u"lit.html"_s);
    for (const QString &guest : {u"Ann"_s, u"Bob"_s}) {
        click(root + u".getElementById('guest')"_s);
        QTest::keyClicks(input(), guest);
        click(root + u".getElementById('invite')"_s);
    }
    QVERIFY(waitUntil([&] { return m_s->js(root + u".getElementById('count').textContent"_s) == "2 guests"_L1; }));
    checkSaveAndReplay(root + u".getElementById('count')"_s, u"lit.csv"_s,
                       {R"("Web","guest","INPUT","onfocusout","Ann",)",
                        R"("Web","guest","INPUT","onfocusout","Bob",)",
                        R"("Web","","BUTTON","onclick","Invite",)", R"(2 guests",)"},
                       u"2 guests\""_s, u"3 guests\""_s);
}

QTEST_MAIN(TestFrameworks)
#include "test_frameworks.moc"
