// Kestrel page agent, core part. Injected at document creation into the main
// world of every top-level document, before any script of the page runs.
//
// Everything Kestrel reads or writes in a page goes through the functions
// registered here with define(name, fn); C++ calls them by name and gets the
// result back as JSON. The later agent files (recorder, player) add their own
// functions with window.__kestrel.define.
(function () {
    'use strict';
    if (window.__kestrel)
        return;

    // Kestrel's own channel for document notifications; closure-private, so a
    // page cannot forge them.
    const TOKEN = '@@KESTREL_TOKEN@@';

    // Taken before the page can replace them (many pages wrap the console).
    const stringify = JSON.stringify;
    const consoleLog = console.log.bind(console);
    const allOf = Object.getOwnPropertyDescriptor(Document.prototype, 'all').get;
    const ElementClass = Element;
    const raf = window.requestAnimationFrame.bind(window);

    const registry = new Map();
    const byHandle = new Map();
    const handles = new WeakMap();
    let nextHandle = 1;

    function define(name, fn) {
        if (typeof name !== 'string' || typeof fn !== 'function')
            throw new TypeError('define(name, function)');
        // First definition wins: a page cannot swap a function of ours.
        if (registry.has(name))
            throw new Error('agent function already defined: ' + name);
        registry.set(name, fn);
    }

    function handle(el) {
        if (!(el instanceof ElementClass))
            return 0;
        let h = handles.get(el);
        if (!h) {
            h = nextHandle++;
            handles.set(el, h);
            byHandle.set(h, el);
        }
        return h;
    }

    function element(h) {
        const el = byHandle.get(h);
        if (!el)
            throw new Error('no element with handle ' + h);
        return el;
    }

    function call(name, args) {
        try {
            const fn = registry.get(name);
            if (!fn)
                return stringify({ ok: false, error: 'no agent function ' + name });
            let value = fn.apply(null, Array.isArray(args) ? args : []);
            if (value === undefined)
                value = null;
            return stringify({ ok: true, value: value });
        } catch (e) {
            let text;
            try {
                text = String(e && e.message !== undefined ? e.message : e);
            } catch (e2) {
                text = 'error';
            }
            return stringify({ ok: false, error: text });
        }
    }

    function missing(el, member) {
        return new Error(el.tagName + ' has no member ' + member);
    }

    // Text after the last "/" of the path of an absolute address (src and
    // href give them resolved), without query and fragment.
    function fileName(address) {
        let end = address.length;
        const hash = address.indexOf('#');
        if (hash >= 0)
            end = hash;
        const query = address.lastIndexOf('?', end - 1);
        if (query >= 0)
            end = query;
        return address.substring(address.lastIndexOf('/', end - 1) + 1, end);
    }

    // The "visible" border and background: what the user sees, read from the
    // computed style; written through the inline style. The inline values
    // before our first write are kept, and writing back the value read before
    // that write restores them exactly.
    const saved = new WeakMap();
    const BORDER_PROPS = [];
    for (const side of ['top', 'right', 'bottom', 'left'])
        for (const part of ['width', 'style', 'color'])
            BORDER_PROPS.push('border-' + side + '-' + part);
    const BG_PROPS = ['background-color'];

    function styleOf(el) {
        if (!el.style)
            throw missing(el, 'style');
        return el.style;
    }

    function keep(el, what, props, reading) {
        let s = saved.get(el);
        if (!s) {
            s = { attr: el.getAttribute('style'), css: el.style.cssText };
            saved.set(el, s);
        }
        if (!s[what]) {
            const st = styleOf(el);
            s[what] = {
                reading: reading,
                values: props.map((p) => [p, st.getPropertyValue(p), st.getPropertyPriority(p)]),
            };
        }
        return s[what];
    }

    function restore(el, what) {
        const s = saved.get(el);
        const st = styleOf(el);
        for (const [p, v, prio] of s[what].values) {
            if (v === '')
                st.removeProperty(p);
            else
                st.setProperty(p, v, prio);
        }
        delete s[what];
        if (!s.border && !s.bgcolor) {
            saved.delete(el);
            // Unless the page changed the style meanwhile, the attribute is
            // put back as it was written.
            if (st.cssText === s.css) {
                if (s.attr === null)
                    el.removeAttribute('style');
                else
                    el.setAttribute('style', s.attr);
            }
        }
    }

    function readBorder(el) {
        const s = saved.get(el);
        if (s && s.border)
            return s.border.current;
        const w = parseFloat(getComputedStyle(el).borderTopWidth);
        return isFinite(w) ? Math.round(w) : 0;
    }

    function writeBorder(el, value) {
        const n = Number(value);
        if (!isFinite(n))
            throw new Error('border must be a number');
        const rec = keep(el, 'border', BORDER_PROPS, readBorder(el));
        if (Math.round(n) === rec.reading) {
            restore(el, 'border');
            return;
        }
        const st = styleOf(el);
        st.setProperty('border-width', Math.round(n) + 'px', 'important');
        st.setProperty('border-style', 'solid', 'important');
        rec.current = Math.round(n);
    }

    function hexColour(css) {
        const m = /^rgba?\(\s*(\d+)[,\s]+(\d+)[,\s]+(\d+)(?:[,\s/]+([\d.]+))?\s*\)$/.exec(css);
        if (!m)
            return css;
        if (m[4] !== undefined && Number(m[4]) === 0)
            return '';
        if (m[4] !== undefined && Number(m[4]) < 1)
            return css;
        return '#' + [m[1], m[2], m[3]].map((c) => Number(c).toString(16).padStart(2, '0')).join('');
    }

    function readBgcolor(el) {
        const s = saved.get(el);
        if (s && s.bgcolor)
            return s.bgcolor.current;
        return hexColour(getComputedStyle(el).backgroundColor);
    }

    function writeBgcolor(el, value) {
        const text = value === null || value === undefined ? '' : String(value);
        const rec = keep(el, 'bgcolor', BG_PROPS, readBgcolor(el));
        if (text === rec.reading) {
            restore(el, 'bgcolor');
            return;
        }
        styleOf(el).setProperty('background-color', text, 'important');
        rec.current = text;
    }

    // Members by lower-case name: [get, set]. A member the element lacks is an
    // error, which callers may skip.
    const members = {
        tagname: [(el) => String(el.tagName).toUpperCase(), null],
        name: [(el) => {
            if ('name' in el && typeof el.name === 'string')
                return el.name;
            if (el.hasAttribute('name'))
                return el.getAttribute('name');
            throw missing(el, 'Name');
        }, null],
        value: [(el) => {
            if (!('value' in el))
                throw missing(el, 'Value');
            return el.value === null || el.value === undefined ? '' : String(el.value);
        }, (el, v) => {
            if (!('value' in el))
                throw missing(el, 'Value');
            el.value = v === null || v === undefined ? '' : String(v);
        }],
        innertext: [(el) => {
            if (typeof el.innerText === 'string')
                return el.innerText;
            return el.textContent;
        }, null],
        innerhtml: [(el) => el.innerHTML, null],
        nameprop: [(el) => {
            if (typeof el.src === 'string' && el.src !== '')
                return fileName(el.src);
            if (typeof el.href === 'string')
                return fileName(el.href);
            throw missing(el, 'nameprop');
        }, null],
        // The path of a link, without its leading slash ("orders/list.htm").
        pathname: [(el) => {
            if (typeof el.pathname !== 'string')
                throw missing(el, 'pathname');
            return el.pathname.replace(/^\//, '');
        }, null],
        // true when the element has a click handler of its own, null when not.
        onclick: [(el) => (typeof el.onclick === 'function' ? true : null), null],
        selectedindex: [(el) => {
            if (typeof el.selectedIndex !== 'number')
                throw missing(el, 'selectedindex');
            return el.selectedIndex;
        }, (el, v) => {
            if (typeof el.selectedIndex !== 'number')
                throw missing(el, 'selectedindex');
            const n = Number(v);
            if (!Number.isInteger(n))
                throw new Error('selectedindex must be a whole number');
            el.selectedIndex = n;
        }],
        border: [readBorder, writeBorder],
        bgcolor: [readBgcolor, writeBgcolor],
    };

    function getMember(el, member) {
        const m = members[String(member).toLowerCase()];
        if (!m)
            throw missing(el, member);
        return m[0](el);
    }

    function setMember(el, member, value) {
        const m = members[String(member).toLowerCase()];
        if (!m || !m[1])
            throw new Error(el.tagName + ': ' + member + ' cannot be written');
        m[1](el, value);
    }

    function invoke(el, operation) {
        switch (String(operation).toLowerCase()) {
        case 'click':
            if (typeof el.click === 'function')
                el.click();
            else
                el.dispatchEvent(new MouseEvent('click', { bubbles: true, cancelable: true, view: window }));
            return;
        case 'focus':
        case 'setfocus':
            if (typeof el.focus === 'function')
                el.focus();
            return;
        default:
            throw missing(el, operation);
        }
    }

    // The element search the player relies on: first element of document.all,
    // in document order, with this tag name whose identifying member equals
    // identity. Pictures by file name, links by inner HTML, lists and fields
    // by name, every other tag by inner HTML. An element whose member cannot
    // be read does not match.
    function matches(el, tag, identity) {
        switch (tag) {
        case 'IMG': return getMember(el, 'nameprop') === identity;
        case 'A': return el.innerHTML === identity;
        case 'SELECT':
        case 'INPUT': return getMember(el, 'name') === identity;
        default: return el.innerHTML === identity;
        }
    }

    // Every element that the search would accept, in search order; at most
    // limit of them (all when limit is not given).
    function matching(tag, identity, limit) {
        const found = [];
        const max = typeof limit === 'number' ? limit : Infinity;
        const all = allOf.call(document);
        const n = all.length;
        for (let i = 0; i < n && found.length < max; ++i) {
            const el = all[i];
            const t = el.tagName;
            // Upper-casing only names that can match (HTML ones already are).
            if (t !== tag && (t.length !== tag.length || t.toUpperCase() !== tag))
                continue;
            try {
                if (matches(el, tag, identity))
                    found.push(el);
            } catch (e) {
                // not this one
            }
        }
        return found;
    }

    function findElement(tag, identity) {
        const found = matching(tag, identity, 1);
        return found.length ? handle(found[0]) : 0;
    }

    // Input readiness: two animation frames after load (a hidden document
    // renders no frames and is ready at load).
    let loaded = false;
    let frames = 0;
    function send(ev) {
        consoleLog(TOKEN + stringify({ ev: ev, t: performance.timeOrigin }));
    }
    function onLoad() {
        if (loaded)
            return;
        loaded = true;
        raf(() => raf(() => { frames = 2; }));
    }
    document.addEventListener('DOMContentLoaded', () => send('dcl'), true);
    window.addEventListener('load', onLoad, true);

    define('ready', () => {
        // Some documents (about:blank) complete without a load event we see.
        if (!loaded && document.readyState === 'complete')
            onLoad();
        return loaded && (frames >= 2 || document.visibilityState !== 'visible');
    });
    define('length', () => allOf.call(document).length);
    define('item', (i) => {
        const el = allOf.call(document)[i];
        if (!el)
            throw new Error('no element at index ' + i);
        return handle(el);
    });
    define('get', (h, member) => getMember(element(h), member));
    define('set', (h, member, value) => setMember(element(h), member, value));
    define('option', (h, i) => {
        const el = element(h);
        if (!el.options)
            throw missing(el, 'Options');
        const o = el.options[i];
        if (!o)
            throw new Error('no option at index ' + i);
        return { value: o.value, text: o.text };
    });
    define('invoke', (h, operation) => invoke(element(h), operation));
    define('findElement', findElement);

    const agent = Object.freeze({
        define: define,
        call: call,
        handle: handle,
        element: element,
        get: getMember,
        set: setMember,
        invoke: invoke,
        findElement: findElement,
        matching: matching,
    });
    Object.defineProperty(window, '__kestrel', {
        value: agent, writable: false, configurable: false, enumerable: false,
    });
})();
