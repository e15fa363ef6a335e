// Kestrel page agent, player part: functions added with window.__kestrel.define.
//
// Replay has to look to the page like the tester's own action: values are
// set through the elements' own (native) setters so that pages which track
// field values themselves see the change, followed by the events typing or
// choosing would fire; clicks go to the point a user would click.
//
// As in the core part, every built-in used later is taken now, before any
// script of the page runs.
(function () {
    'use strict';
    const k = window.__kestrel;
    if (!k)
        return;
    // Defined once per document; a second injection changes nothing.
    function define(name, fn) {
        try {
            k.define(name, fn);
        } catch (e) {
            // already there
        }
    }

    const apply = Reflect.apply;
    const { method, accessor, getter } = k.builtins;
    const create = Object.create;
    const ErrorClass = Error;
    const StringClass = String;
    const NumberClass = Number;
    const isInteger = Number.isInteger;
    const max = Math.max;
    const min = Math.min;
    const floor = Math.floor;
    const InputEventClass = InputEvent;
    const EventClass = Event;

    // Native value accessors of the fields, by tag name.
    const fields = create(null);
    for (const [tag, C] of [['INPUT', HTMLInputElement], ['TEXTAREA', HTMLTextAreaElement],
                            ['SELECT', HTMLSelectElement]]) {
        const d = accessor(C.prototype, 'value');
        fields[tag] = { get: d.get, set: d.set };
    }
    const indexSetter = accessor(HTMLSelectElement.prototype, 'selectedIndex').set;
    const indexGetter = accessor(HTMLSelectElement.prototype, 'selectedIndex').get;
    const tagNameOf = getter(Element.prototype, 'tagName');
    const toUpperCase = method(StringClass.prototype, 'toUpperCase');
    const isConnected = getter(Node.prototype, 'isConnected');
    const parentNodeOf = getter(Node.prototype, 'parentNode');
    const hostOf = getter(ShadowRoot.prototype, 'host');
    const shadowRootOf = getter(Element.prototype, 'shadowRoot');
    const getAttribute = method(Element.prototype, 'getAttribute');
    const hasAttribute = method(Element.prototype, 'hasAttribute');
    const boundsOf = method(Element.prototype, 'getBoundingClientRect');
    const scrollIntoView = method(Element.prototype, 'scrollIntoView');
    const rectLeft = getter(DOMRectReadOnly.prototype, 'left');
    const rectTop = getter(DOMRectReadOnly.prototype, 'top');
    const rectRight = getter(DOMRectReadOnly.prototype, 'right');
    const rectBottom = getter(DOMRectReadOnly.prototype, 'bottom');
    const documentAt = method(Document.prototype, 'elementFromPoint');
    const shadowAt = method(ShadowRoot.prototype, 'elementFromPoint');
    const dispatchEvent = method(EventTarget.prototype, 'dispatchEvent');
    const htmlOnclickOf = getter(HTMLElement.prototype, 'onclick');
    const innerWidthOf = getter(window, 'innerWidth');
    const innerHeightOf = getter(window, 'innerHeight');
    const addListener = method(EventTarget.prototype, 'addEventListener');

    function tagOf(el) {
        try {
            return toUpperCase(tagNameOf(el));
        } catch (e) {
            return '';
        }
    }

    function fire(el, type) {
        const init = create(null);
        init.bubbles = true;
        init.cancelable = false;
        if (type === 'input')
            init.inputType = 'insertText';
        dispatchEvent(el, type === 'input' ? new InputEventClass('input', init) : new EventClass(type, init));
    }

    function live(h) {
        const el = k.element(h);
        if (!isConnected(el))
            throw new ErrorClass('the element is no longer in the page');
        return el;
    }

    // Value of a field as if typed: nothing happens when it already holds the
    // value, as typing the same text changes nothing.
    define('playerSetValue', (h, value) => {
        const el = live(h);
        const text = value === null || value === undefined ? '' : StringClass(value);
        const field = fields[tagOf(el)];
        if (!field) {
            k.set(el, 'Value', text);
            return true;
        }
        if (apply(field.get, el, []) === text)
            return false;
        apply(field.set, el, [text]);
        fire(el, 'input');
        fire(el, 'change');
        return true;
    });

    // The chosen entry of a list, as if picked by the user.
    define('playerSetIndex', (h, index) => {
        const el = live(h);
        if (tagOf(el) !== 'SELECT') {
            k.set(el, 'selectedindex', index);
            return true;
        }
        const n = NumberClass(index);
        if (!isInteger(n))
            throw new ErrorClass('selectedindex must be a whole number');
        if (apply(indexGetter, el, []) === n)
            return false;
        apply(indexSetter, el, [n]);
        fire(el, 'input');
        fire(el, 'change');
        return true;
    });

    // What a click at a point would press on its own: links, controls,
    // labels, and elements with a click handler of their own or the role of
    // a button.
    const PRESSABLE = create(null);
    for (const t of ['A', 'BUTTON', 'INPUT', 'SELECT', 'TEXTAREA', 'LABEL'])
        PRESSABLE[t] = true;
    function pressable(node) {
        if (PRESSABLE[tagOf(node)])
            return true;
        try {
            if (typeof apply(htmlOnclickOf, node, []) === 'function')
                return true;
        } catch (e) {
            // not an HTML element
        }
        try {
            return hasAttribute(node, 'onclick') || getAttribute(node, 'role') === 'button';
        } catch (e) {
            return false;
        }
    }
    // The element a click at (x, y) reaches, inside open shadow roots too.
    function deepAt(x, y) {
        let at = documentAt(document, x, y);
        for (let depth = 0; at && depth < 64; ++depth) {
            const root = shadowRootOf(at);
            if (root === null)
                break;
            const inner = shadowAt(root, x, y);
            if (!inner || inner === at)
                break;
            at = inner;
        }
        return at;
    }
    // The parent of a node across shadow boundaries.
    function up(node) {
        const p = parentNodeOf(node);
        if (p === null)
            return null;
        try {
            return hostOf(p);
        } catch (e) {
            return p; // not a shadow root
        }
    }
    // Whether a click at the point that hit reaches el itself: the point is
    // on el or on a part of it that would not be pressed instead of it.
    function reaches(el, hit) {
        for (let n = hit; n !== null; n = up(n)) {
            if (n === el)
                return true;
            if (pressable(n))
                return false;
        }
        return false;
    }

    // Where a user would click the element: scrolled into view, the middle of
    // its visible part, in viewport pixels. hit is false when a click there
    // would not press the element itself (something else is on top, a link or
    // button inside it is there, or it has no box): then only the element's
    // own click operation reaches it.
    define('playerClickPoint', (h) => {
        const el = live(h);
        const how = create(null);
        how.block = 'center';
        how.inline = 'center';
        how.behavior = 'instant';
        try {
            scrollIntoView(el, how);
        } catch (e) {
            // not scrollable
        }
        const r = boundsOf(el);
        const left = max(rectLeft(r), 0);
        const top = max(rectTop(r), 0);
        const right = min(rectRight(r), innerWidthOf(window));
        const bottom = min(rectBottom(r), innerHeightOf(window));
        if (right - left < 1 || bottom - top < 1)
            return { hit: false, x: 0, y: 0 };
        const x = floor((left + right) / 2);
        const y = floor((top + bottom) / 2);
        const at = deepAt(x, y);
        return { hit: !!at && reaches(el, at), x: x, y: y };
    });

    // Input that Kestrel sends through the window system arrives in the page
    // a little later; the player asks for it by token before it waits for
    // the page to load, so that a navigation the input starts is seen.
    let expected = 0;
    let arrived = 0;
    function arrival(ev) {
        if (ev.isTrusted)
            arrived = expected;
    }
    addListener(window, 'click', arrival, true);
    addListener(window, 'keyup', arrival, true);
    define('playerExpect', (token) => {
        expected = token;
        arrived = 0;
        return true;
    });
    define('playerArrived', (token) => arrived === token);

    define('playerClick', (h) => {
        k.invoke(live(h), 'Click');
        return true;
    });

    define('playerFocus', (h) => {
        k.invoke(live(h), 'focus');
        return true;
    });

    // Whether the element still is in the page.
    define('playerConnected', (h) => {
        try {
            return isConnected(k.element(h));
        } catch (e) {
            return false;
        }
    });
})();

// Page changes and the document's creation, for the player's waits and the
// browser element's notifications. Kept in a block of its own.
(function () {
    'use strict';
    const k = window.__kestrel;
    if (!k)
        return;
    const TOKEN = '@@KESTREL_TOKEN@@';
    // Taken before the page's own scripts run.
    const consoleLog = console.log.bind(console);
    const raf = window.requestAnimationFrame.bind(window);
    const setTimer = window.setTimeout.bind(window);
    const Observer = MutationObserver;
    const observe = MutationObserver.prototype.observe;
    const apply = Reflect.apply;
    const origin = performance.timeOrigin;

    // Built by hand: the page may have given objects a toJSON.
    function send(ev) {
        consoleLog(TOKEN + '{"ev":"' + ev + '","t":' + origin + '}');
    }
    try {
        k.define('playerWatchChanges', (on) => {
            armed = !!on;
            if (armed)
                watchShadows();
            return changes;
        });
        k.define('playerSettle', () => {
            settle();
            return true;
        });
    } catch (e) {
        return; // this document has it already
    }

    // The document exists: from now on it is shown and can be acted on,
    // however long its scripts take to load.
    send('doc');
    // A move within the session history of this document.
    window.addEventListener('popstate', () => send('pop'), true);

    // Input the player sent is reported once the page has handled it and
    // rendered a frame after it (a document that renders none reports a
    // little later): "nav" when it started the loading of another document,
    // "inp" otherwise. The player waits for that instead of a fixed pause.
    let leaving = null;
    const nav = window.navigation;
    if (nav && typeof nav.addEventListener === 'function') {
        apply(nav.addEventListener, nav, ['navigate', (e) => {
            if (!e.destination.sameDocument && !e.downloadRequest)
                leaving = e;
        }]);
    } else {
        window.addEventListener('beforeunload', () => {
            leaving = { defaultPrevented: false };
        }, true);
    }
    function settle() {
        let done = false;
        const fire = () => {
            if (done)
                return;
            done = true;
            setTimer(() => {
                send(leaving && !leaving.defaultPrevented ? 'nav' : 'inp');
                leaving = null;
            }, 0);
        };
        raf(fire);
        setTimer(fire, 100);
    }
    function inputStarts(ev) {
        if (ev.isTrusted)
            leaving = null;
    }
    function inputDone(ev) {
        if (ev.isTrusted)
            settle();
    }
    window.addEventListener('mousedown', inputStarts, true);
    window.addEventListener('keydown', inputStarts, true);
    window.addEventListener('click', inputDone, true);
    window.addEventListener('keyup', inputDone, true);

    // Every change of the page counts; while the player waits for an element,
    // each change is reported once it has been rendered (an animation frame;
    // a document that renders no frames reports a little later instead).
    let changes = 0;
    let armed = false;
    let watchShadows = () => {};
    let pending = false;
    function report() {
        if (!pending)
            return;
        pending = false;
        if (armed) {
            watchShadows();
            send('chg');
        }
    }
    function changed() {
        ++changes;
        if (!armed || pending)
            return;
        pending = true;
        raf(report);
        setTimer(report, 100);
    }
    const options = { childList: true, subtree: true, attributes: true, characterData: true };
    const observer = new Observer(changed);
    apply(observe, observer, [document, options]);
    // Trees inside open shadow roots are not seen from the document: each
    // is observed once found, when the watch starts and at every change.
    const observed = new WeakSet();
    const hasObserved = WeakSet.prototype.has;
    const addObserved = WeakSet.prototype.add;
    const shadowOf = Object.getOwnPropertyDescriptor(Element.prototype, 'shadowRoot').get;
    const allInDocument = Document.prototype.querySelectorAll;
    const allInFragment = DocumentFragment.prototype.querySelectorAll;
    function observeShadows(root) {
        const all = apply(root === document ? allInDocument : allInFragment, root, ['*']);
        for (let i = 0; i < all.length; ++i) {
            const shadow = apply(shadowOf, all[i], []);
            if (!shadow || apply(hasObserved, observed, [shadow]))
                continue;
            apply(addObserved, observed, [shadow]);
            apply(observe, observer, [shadow, options]);
            observeShadows(shadow);
        }
    }
    watchShadows = () => {
        try {
            observeShadows(document);
        } catch (e) {
            // the changes of the document itself are still seen
        }
    };
})();
