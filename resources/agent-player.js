// Kestrel page agent, player part: functions added with window.__kestrel.define.
//
// Replay has to look to the page like the tester's own action: values are
// set through the elements' own (native) setters so that pages which track
// field values themselves see the change, followed by the events typing or
// choosing would fire; clicks go to the point a user would click.
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

    // Taken before the page can replace them.
    const valueSetters = new Map();
    for (const C of [HTMLInputElement, HTMLTextAreaElement, HTMLSelectElement]) {
        const d = Object.getOwnPropertyDescriptor(C.prototype, 'value');
        if (d && d.set)
            valueSetters.set(C, d.set);
    }
    const indexSetter = Object.getOwnPropertyDescriptor(HTMLSelectElement.prototype, 'selectedIndex').set;
    const indexGetter = Object.getOwnPropertyDescriptor(HTMLSelectElement.prototype, 'selectedIndex').get;
    const elementFromPoint = Document.prototype.elementFromPoint;
    const InputEventClass = InputEvent;
    const EventClass = Event;

    function nativeValueSetter(el) {
        for (const [C, set] of valueSetters)
            if (el instanceof C)
                return set;
        return null;
    }

    function fire(el, type) {
        const ev = type === 'input'
            ? new InputEventClass('input', { bubbles: true, cancelable: false, inputType: 'insertText' })
            : new EventClass(type, { bubbles: true, cancelable: false });
        el.dispatchEvent(ev);
    }

    function live(h) {
        const el = k.element(h);
        if (!el.isConnected)
            throw new Error('the element is no longer in the page');
        return el;
    }

    // Value of a field as if typed: nothing happens when it already holds the
    // value, as typing the same text changes nothing.
    define('playerSetValue', (h, value) => {
        const el = live(h);
        const text = value === null || value === undefined ? '' : String(value);
        const set = nativeValueSetter(el);
        if (!set) {
            k.set(el, 'Value', text);
            return true;
        }
        if (el.value === text)
            return false;
        set.call(el, text);
        fire(el, 'input');
        fire(el, 'change');
        return true;
    });

    // The chosen entry of a list, as if picked by the user.
    define('playerSetIndex', (h, index) => {
        const el = live(h);
        if (!(el instanceof HTMLSelectElement)) {
            k.set(el, 'selectedindex', index);
            return true;
        }
        const n = Number(index);
        if (!Number.isInteger(n))
            throw new Error('selectedindex must be a whole number');
        if (indexGetter.call(el) === n)
            return false;
        indexSetter.call(el, n);
        fire(el, 'input');
        fire(el, 'change');
        return true;
    });

    // Where a user would click the element: scrolled into view, the middle of
    // its visible part, in viewport pixels. hit is false when something else
    // is on top there (or the element has no box): then only the element's
    // own click operation reaches it.
    define('playerClickPoint', (h) => {
        const el = live(h);
        if (typeof el.scrollIntoView === 'function')
            el.scrollIntoView({ block: 'center', inline: 'center', behavior: 'instant' });
        const r = el.getBoundingClientRect();
        const left = Math.max(r.left, 0);
        const top = Math.max(r.top, 0);
        const right = Math.min(r.right, window.innerWidth);
        const bottom = Math.min(r.bottom, window.innerHeight);
        if (right - left < 1 || bottom - top < 1)
            return { hit: false };
        const x = Math.floor((left + right) / 2);
        const y = Math.floor((top + bottom) / 2);
        const at = elementFromPoint.call(document, x, y);
        return { hit: !!at && (at === el || el.contains(at)), x: x, y: y };
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
    window.addEventListener('click', arrival, true);
    window.addEventListener('keyup', arrival, true);
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
            return k.element(h).isConnected;
        } catch (e) {
            return false;
        }
    });
})();
