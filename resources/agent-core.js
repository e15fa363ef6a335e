// Kestrel page agent, core part. Injected at document creation into the main
// world of every top-level document, before any script of the page runs.
//
// Everything Kestrel reads or writes in a page goes through the functions
// registered here with define(name, fn); C++ calls them by name and gets the
// result back as JSON. The later agent files (recorder, player) add their own
// functions with window.__kestrel.define.
//
// The page shares this world and may replace any built-in after we start
// (Map.prototype.get, JSON.stringify, Function.prototype.call, the getters of
// Element.prototype, a toJSON on Object.prototype...). So every built-in used
// after injection is taken here, at the start, and called through the
// captured Reflect.apply; results are serialised by our own code; tables are
// objects without a prototype.
(function () {
    'use strict';
    if (window.__kestrel)
        return;

    // Kestrel's own channel for document notifications; closure-private, so a
    // page cannot forge them.
    const TOKEN = '@@KESTREL_TOKEN@@';

    // ---- built-ins, taken before the page can replace them -----------------
    const apply = Reflect.apply;
    const ownKeys = Reflect.ownKeys;
    const getPrototypeOf = Reflect.getPrototypeOf;
    const ownDescriptor = Reflect.getOwnPropertyDescriptor;
    const hasOwn = Object.hasOwn;
    const create = Object.create;
    const freeze = Object.freeze;
    const defineProperty = Object.defineProperty;
    const isArray = Array.isArray;
    const arrayOf = Array.of;
    const ArrayClass = Array;
    const stringify = JSON.stringify;
    const StringClass = String;
    const NumberClass = Number;
    const isFiniteNumber = Number.isFinite;
    const isInteger = Number.isInteger;
    const ErrorClass = Error;
    const WeakMapClass = WeakMap;
    const MapClass = Map;
    const WeakRefClass = WeakRef;
    const FinalizationRegistryClass = FinalizationRegistry;
    const MouseEventClass = MouseEvent;
    const consoleLog = console.log.bind(console);
    const raf = window.requestAnimationFrame.bind(window);
    const timeOrigin = performance.timeOrigin;

    // fn(self, ...args) for a method taken now.
    function method(proto, name) {
        const f = proto[name];
        if (typeof f !== 'function')
            throw new ErrorClass('no built-in ' + name);
        return function (self, ...args) { return apply(f, self, args); };
    }
    // The accessor pair of name on proto or its prototypes, taken now.
    function accessor(proto, name) {
        for (let p = proto; p !== null; p = getPrototypeOf(p)) {
            const d = ownDescriptor(p, name);
            if (d !== undefined)
                return d;
        }
        return undefined;
    }
    function getter(proto, name) {
        const d = accessor(proto, name);
        const g = d && d.get;
        if (typeof g !== 'function')
            throw new ErrorClass('no built-in getter ' + name);
        return function (self) { return apply(g, self, []); };
    }
    function setter(proto, name) {
        const d = accessor(proto, name);
        const s = d && d.set;
        if (typeof s !== 'function')
            throw new ErrorClass('no built-in setter ' + name);
        return function (self, v) { apply(s, self, [v]); };
    }

    const weakGet = method(WeakMapClass.prototype, 'get');
    const weakSet = method(WeakMapClass.prototype, 'set');
    const mapGet = method(MapClass.prototype, 'get');
    const mapSet = method(MapClass.prototype, 'set');
    const mapDelete = method(MapClass.prototype, 'delete');
    const deref = method(WeakRefClass.prototype, 'deref');
    const register = method(FinalizationRegistryClass.prototype, 'register');
    const indexOf = method(StringClass.prototype, 'indexOf');
    const lastIndexOf = method(StringClass.prototype, 'lastIndexOf');
    const substring = method(StringClass.prototype, 'substring');
    const toUpperCase = method(StringClass.prototype, 'toUpperCase');
    const toLowerCase = method(StringClass.prototype, 'toLowerCase');

    const tagNameOf = getter(Element.prototype, 'tagName');
    const idOf = getter(Element.prototype, 'id');
    const innerHTMLOf = getter(Element.prototype, 'innerHTML');
    const shadowRootOf = getter(Element.prototype, 'shadowRoot');
    const firstChildOf = getter(Element.prototype, 'firstElementChild');
    const createTreeWalker = method(Document.prototype, 'createTreeWalker');
    const walkerNext = method(TreeWalker.prototype, 'nextNode');
    const getAttribute = method(Element.prototype, 'getAttribute');
    const hasAttribute = method(Element.prototype, 'hasAttribute');
    const textContentOf = getter(Node.prototype, 'textContent');
    const dispatchEvent = method(EventTarget.prototype, 'dispatchEvent');
    const innerTextOf = getter(HTMLElement.prototype, 'innerText');
    const htmlOnclickOf = getter(HTMLElement.prototype, 'onclick');
    const svgOnclickOf = getter(SVGElement.prototype, 'onclick');
    const htmlClick = method(HTMLElement.prototype, 'click');
    const htmlFocus = method(HTMLElement.prototype, 'focus');
    const svgFocus = method(SVGElement.prototype, 'focus');
    const allOf = getter(Document.prototype, 'all');
    const documentElementOf = getter(Document.prototype, 'documentElement');
    const readyStateOf = getter(Document.prototype, 'readyState');
    const visibilityOf = getter(Document.prototype, 'visibilityState');
    const collectionItem = method(HTMLCollection.prototype, 'item');
    const collectionLength = getter(HTMLCollection.prototype, 'length');
    const allItem = method(HTMLAllCollection.prototype, 'item');
    const allLength = getter(HTMLAllCollection.prototype, 'length');
    const domExceptionMessage = getter(DOMException.prototype, 'message');

    // The element's own properties, by upper-case tag name: a table of
    // [getter, setter] pairs per property, taken from the tag's interface.
    const INTERFACES = {
        INPUT: 'HTMLInputElement', SELECT: 'HTMLSelectElement', TEXTAREA: 'HTMLTextAreaElement',
        BUTTON: 'HTMLButtonElement', A: 'HTMLAnchorElement', AREA: 'HTMLAreaElement',
        IMG: 'HTMLImageElement', FORM: 'HTMLFormElement', IFRAME: 'HTMLIFrameElement',
        FRAME: 'HTMLFrameElement', OBJECT: 'HTMLObjectElement', OUTPUT: 'HTMLOutputElement',
        FIELDSET: 'HTMLFieldSetElement', MAP: 'HTMLMapElement', META: 'HTMLMetaElement',
        OPTION: 'HTMLOptionElement', LI: 'HTMLLIElement', METER: 'HTMLMeterElement',
        PROGRESS: 'HTMLProgressElement', DATA: 'HTMLDataElement', SCRIPT: 'HTMLScriptElement',
        EMBED: 'HTMLEmbedElement', SOURCE: 'HTMLSourceElement', VIDEO: 'HTMLVideoElement',
        AUDIO: 'HTMLAudioElement', TRACK: 'HTMLTrackElement', LINK: 'HTMLLinkElement',
        BASE: 'HTMLBaseElement', SLOT: 'HTMLSlotElement',
    };
    const PROPS = ['name', 'value', 'src', 'href', 'pathname', 'type', 'selectedIndex', 'options', 'text'];
    const nativeProps = create(null);
    for (const tag of ownKeys(INTERFACES)) {
        const C = window[INTERFACES[tag]];
        if (typeof C !== 'function')
            continue;
        const proto = C.prototype;
        const props = create(null);
        for (const p of PROPS) {
            const d = accessor(proto, p);
            if (d && typeof d.get === 'function')
                props[p] = freeze([d.get, typeof d.set === 'function' ? d.set : null]);
        }
        nativeProps[tag] = props;
    }
    const NONE = freeze(create(null));

    // Upper-case tag name, or '' for what is not an element.
    function tagOf(el) {
        if (el === null || (typeof el !== 'object' && typeof el !== 'function'))
            return '';
        try {
            return toUpperCase(tagNameOf(el));
        } catch (e) {
            return '';
        }
    }
    function isElement(el) {
        return tagOf(el) !== '';
    }
    // The native property of an HTML element, NONE when its tag has none.
    function nativeGet(el, prop) {
        const props = nativeProps[tagOf(el)];
        const pair = props && props[prop];
        if (!pair)
            return NONE;
        try {
            return apply(pair[0], el, []);
        } catch (e) {
            return NONE; // an element of another namespace with that tag name
        }
    }
    function nativeSet(el, prop, v) {
        const props = nativeProps[tagOf(el)];
        const pair = props && props[prop];
        if (!pair || !pair[1])
            return false;
        apply(pair[1], el, [v]);
        return true;
    }

    // A list without a prototype: nothing of the page runs when it grows.
    function newList() {
        const l = create(null);
        l.length = 0;
        return l;
    }
    function push(list, v) {
        list[list.length] = v;
        list.length += 1;
    }
    // A real array of the list's items, made without the page's methods.
    function toArray(list) {
        return apply(arrayOf, ArrayClass, list);
    }

    // ---- results as JSON, by our own serialiser -----------------------------
    // Plain data only: strings, finite numbers, booleans, null, arrays and the
    // own enumerable data properties of objects. No toJSON, no getters.
    function toJson(v, depth) {
        if (v === null || v === undefined)
            return 'null';
        const t = typeof v;
        if (t === 'string')
            return stringify(v);
        if (t === 'number')
            return isFiniteNumber(v) ? stringify(v) : 'null';
        if (t === 'boolean')
            return v ? 'true' : 'false';
        if (t !== 'object')
            return 'null';
        if (depth > 32)
            throw new ErrorClass('the result is nested too deeply');
        if (isArray(v)) {
            const d = ownDescriptor(v, 'length');
            const n = d && hasOwn(d, 'value') ? d.value : 0;
            let s = '[';
            for (let i = 0; i < n; ++i) {
                const e = ownDescriptor(v, StringClass(i));
                s += (i ? ',' : '') + (e && hasOwn(e, 'value') ? toJson(e.value, depth + 1) : 'null');
            }
            return s + ']';
        }
        const keys = ownKeys(v);
        let s = '{';
        let first = true;
        for (let i = 0; i < keys.length; ++i) {
            const key = keys[i];
            if (typeof key !== 'string')
                continue;
            const d = ownDescriptor(v, key);
            if (!d || !d.enumerable || !hasOwn(d, 'value') || d.value === undefined
                || typeof d.value === 'function' || typeof d.value === 'symbol')
                continue;
            s += (first ? '' : ',') + stringify(key) + ':' + toJson(d.value, depth + 1);
            first = false;
        }
        return s + '}';
    }

    function errorText(e) {
        try {
            if (typeof e === 'string')
                return e;
            if (e !== null && typeof e === 'object') {
                const d = ownDescriptor(e, 'message');
                if (d && hasOwn(d, 'value') && typeof d.value === 'string')
                    return d.value;
                try {
                    return domExceptionMessage(e);
                } catch (x) {
                    // not a DOMException
                }
            }
        } catch (x) {
            // unreadable
        }
        return 'error';
    }

    // ---- functions by name --------------------------------------------------
    const registry = create(null);

    function define(name, fn) {
        if (typeof name !== 'string' || typeof fn !== 'function')
            throw new ErrorClass('define(name, function)');
        // First definition wins: a page cannot swap a function of ours.
        if (hasOwn(registry, name))
            throw new ErrorClass('agent function already defined: ' + name);
        registry[name] = fn;
    }

    function call(name, args) {
        try {
            const fn = typeof name === 'string' ? registry[name] : undefined;
            if (typeof fn !== 'function')
                return '{"ok":false,"error":' + stringify('no agent function ' + StringClass(name)) + '}';
            const value = apply(fn, null, isArray(args) ? args : []);
            return '{"ok":true,"value":' + toJson(value, 0) + '}';
        } catch (e) {
            return '{"ok":false,"error":' + stringify(errorText(e)) + '}';
        }
    }

    // ---- element handles, held weakly ---------------------------------------
    // A page that rebuilds its content leaves its old elements to the
    // collector; a handle of a collected element is no element.
    const handles = new WeakMapClass();
    const refs = new MapClass();
    const forget = new FinalizationRegistryClass(function (h) { mapDelete(refs, h); });
    let nextHandle = 1;

    function handle(el) {
        if (!isElement(el))
            return 0;
        let h = weakGet(handles, el);
        if (!h) {
            h = nextHandle++;
            weakSet(handles, el, h);
            mapSet(refs, h, new WeakRefClass(el));
            register(forget, el, h);
        }
        return h;
    }

    function element(h) {
        const ref = typeof h === 'number' ? mapGet(refs, h) : undefined;
        const el = ref === undefined ? undefined : deref(ref);
        if (!el)
            throw new ErrorClass('no element with handle ' + (typeof h === 'number' ? h : '?'));
        return el;
    }

    function missing(el, member) {
        return new ErrorClass(tagOf(el) + ' has no member ' + member);
    }

    // Text after the last "/" of the path of an absolute address (src and
    // href give them resolved), without query and fragment.
    function fileName(address) {
        let end = address.length;
        const hash = indexOf(address, '#');
        if (hash >= 0)
            end = hash;
        const query = lastIndexOf(address, '?', end - 1);
        if (query >= 0)
            end = query;
        return substring(address, lastIndexOf(address, '/', end - 1) + 1, end);
    }

    // ---- the highlight --------------------------------------------------------
    // The "visible" border and background: what the user sees, read from the
    // computed style; written through the inline style. The inline values
    // before our first write are kept, and writing back the value read before
    // that write restores them exactly: the style attribute as it was, or
    // none when there was none.
    const htmlStyleOf = getter(HTMLElement.prototype, 'style');
    const svgStyleOf = getter(SVGElement.prototype, 'style');
    const cssTextOf = getter(CSSStyleDeclaration.prototype, 'cssText');
    const propertyValue = method(CSSStyleDeclaration.prototype, 'getPropertyValue');
    const propertyPriority = method(CSSStyleDeclaration.prototype, 'getPropertyPriority');
    const setProperty = method(CSSStyleDeclaration.prototype, 'setProperty');
    const removeProperty = method(CSSStyleDeclaration.prototype, 'removeProperty');
    const computedStyleOf = method(window, 'getComputedStyle');
    const setAttribute = method(Element.prototype, 'setAttribute');
    const removeAttribute = method(Element.prototype, 'removeAttribute');
    const weakDelete = method(WeakMapClass.prototype, 'delete');
    const mapForEach = method(MapClass.prototype, 'forEach');
    const regexExec = method(RegExp.prototype, 'exec');
    const numberToString = method(NumberClass.prototype, 'toString');
    const parseNumber = parseFloat;
    const round = Math.round;

    const saved = new WeakMapClass();
    // The elements that carry a highlight now (element -> true).
    const lit = new MapClass();
    const BORDER_PROPS = newList();
    for (const side of ['top', 'right', 'bottom', 'left'])
        for (const part of ['width', 'style', 'color'])
            push(BORDER_PROPS, 'border-' + side + '-' + part);
    const BG_PROPS = newList();
    push(BG_PROPS, 'background-color');

    function styleOf(el) {
        let st = null;
        try {
            st = htmlStyleOf(el);
        } catch (e) {
            try {
                st = svgStyleOf(el);
            } catch (e2) {
                // no inline style
            }
        }
        if (!st)
            throw missing(el, 'style');
        return st;
    }

    function keep(el, what, props, reading) {
        let s = weakGet(saved, el);
        if (!s) {
            s = create(null);
            s.attr = getAttribute(el, 'style');
            s.css = cssTextOf(styleOf(el));
            weakSet(saved, el, s);
            mapSet(lit, el, true);
        }
        if (!s[what]) {
            const st = styleOf(el);
            const rec = create(null);
            rec.reading = reading;
            rec.values = newList();
            for (let i = 0; i < props.length; ++i)
                push(rec.values, [props[i], propertyValue(st, props[i]), propertyPriority(st, props[i])]);
            s[what] = rec;
        }
        return s[what];
    }

    function putValues(st, rec) {
        for (let i = 0; i < rec.values.length; ++i) {
            const entry = rec.values[i];
            const p = entry[0];
            const v = entry[1];
            const prio = entry[2];
            if (v === '')
                removeProperty(st, p);
            else
                setProperty(st, p, v, prio);
        }
    }

    // Our properties back to the values kept; the attribute back as it was
    // when nothing else of the style changed meanwhile.
    function putBack(el, s) {
        const st = styleOf(el);
        if (s.border)
            putValues(st, s.border);
        if (s.bgcolor)
            putValues(st, s.bgcolor);
        if (cssTextOf(st) === s.css) {
            // Reading the attribute first brings it up to date with the
            // changes above; removed before that, it comes back as style="".
            getAttribute(el, 'style');
            if (s.attr === null)
                removeAttribute(el, 'style');
            else
                setAttribute(el, 'style', s.attr);
        }
    }

    function restore(el, what) {
        const s = weakGet(saved, el);
        if (!s || !s[what])
            return;
        if (s.border && s.bgcolor) {
            // The other one stays: only this one's properties go.
            putValues(styleOf(el), s[what]);
            s[what] = undefined;
            return;
        }
        putBack(el, s);
        weakDelete(saved, el);
        mapDelete(lit, el);
    }

    function litElements() {
        const all = newList();
        mapForEach(lit, function (v, el) { push(all, el); });
        return all;
    }

    // Takes every highlight off (el given: only that element's).
    function unhighlight(el) {
        if (el !== undefined) {
            restore(el, 'border');
            restore(el, 'bgcolor');
            return;
        }
        const all = litElements();
        for (let i = 0; i < all.length; ++i)
            unhighlight(all[i]);
    }

    // fn() run on the page as it is without any highlight: what it reads
    // (an ancestor's inner HTML, say) never shows one. The highlights are
    // back afterwards.
    function withoutHighlights(fn) {
        const all = litElements();
        const off = newList();
        for (let i = 0; i < all.length; ++i) {
            const el = all[i];
            const now = getAttribute(el, 'style');
            try {
                putBack(el, weakGet(saved, el));
            } catch (e) {
                continue;
            }
            push(off, [el, now]);
        }
        try {
            return fn();
        } finally {
            for (let i = 0; i < off.length; ++i) {
                const el = off[i][0];
                const now = off[i][1];
                if (now === null)
                    removeAttribute(el, 'style');
                else
                    setAttribute(el, 'style', now);
            }
        }
    }

    function readBorder(el) {
        const s = weakGet(saved, el);
        if (s && s.border)
            return s.border.current;
        const w = parseNumber(propertyValue(computedStyleOf(window, el), 'border-top-width'));
        return isFiniteNumber(w) ? round(w) : 0;
    }

    function writeBorder(el, value) {
        const n = NumberClass(value);
        if (!isFiniteNumber(n))
            throw new ErrorClass('border must be a number');
        const rec = keep(el, 'border', BORDER_PROPS, readBorder(el));
        if (round(n) === rec.reading) {
            restore(el, 'border');
            return;
        }
        const st = styleOf(el);
        setProperty(st, 'border-width', round(n) + 'px', 'important');
        setProperty(st, 'border-style', 'solid', 'important');
        rec.current = round(n);
    }

    function hexColour(css) {
        const m = regexExec(/^rgba?\(\s*(\d+)[,\s]+(\d+)[,\s]+(\d+)(?:[,\s/]+([\d.]+))?\s*\)$/, css);
        if (!m)
            return css;
        if (m[4] !== undefined && NumberClass(m[4]) === 0)
            return '';
        if (m[4] !== undefined && NumberClass(m[4]) < 1)
            return css;
        let out = '#';
        for (let i = 1; i <= 3; ++i) {
            const hex = numberToString(NumberClass(m[i]), 16);
            out += (hex.length < 2 ? '0' : '') + hex;
        }
        return out;
    }

    function readBgcolor(el) {
        const s = weakGet(saved, el);
        if (s && s.bgcolor)
            return s.bgcolor.current;
        return hexColour(propertyValue(computedStyleOf(window, el), 'background-color'));
    }

    function writeBgcolor(el, value) {
        const t = text(value);
        const rec = keep(el, 'bgcolor', BG_PROPS, readBgcolor(el));
        if (t === rec.reading) {
            restore(el, 'bgcolor');
            return;
        }
        setProperty(styleOf(el), 'background-color', t, 'important');
        rec.current = t;
    }

    // Members by lower-case name: [get, set]. A member the element lacks is an
    // error, which callers may skip.
    function text(v) {
        return v === null || v === undefined ? '' : StringClass(v);
    }
    const members = create(null);
    members.tagname = [(el) => {
        const t = tagOf(el);
        if (t === '')
            throw new ErrorClass('not an element');
        return t;
    }, null];
    members.name = [(el) => {
        const n = nativeGet(el, 'name');
        if (typeof n === 'string')
            return n;
        if (hasAttribute(el, 'name'))
            return getAttribute(el, 'name');
        throw missing(el, 'Name');
    }, null];
    members.value = [(el) => {
        const v = nativeGet(el, 'value');
        if (v === NONE)
            throw missing(el, 'Value');
        return text(v);
    }, (el, v) => {
        if (!nativeSet(el, 'value', text(v)))
            throw missing(el, 'Value');
    }];
    members.innertext = [(el) => {
        try {
            return innerTextOf(el);
        } catch (e) {
            return textContentOf(el);
        }
    }, null];
    members.innerhtml = [(el) => innerHTMLOf(el), null];
    members.nameprop = [(el) => {
        const src = nativeGet(el, 'src');
        if (typeof src === 'string' && src !== '')
            return fileName(src);
        const href = nativeGet(el, 'href');
        if (typeof href === 'string')
            return fileName(href);
        throw missing(el, 'nameprop');
    }, null];
    // The path of a link, without its leading slash ("orders/list.htm").
    members.pathname = [(el) => {
        const p = nativeGet(el, 'pathname');
        if (typeof p !== 'string')
            throw missing(el, 'pathname');
        return indexOf(p, '/') === 0 ? substring(p, 1) : p;
    }, null];
    // true when the element has a click handler of its own, null when not.
    members.onclick = [(el) => (typeof ownOnclick(el) === 'function' ? true : null), null];
    members.selectedindex = [(el) => {
        const i = nativeGet(el, 'selectedIndex');
        if (typeof i !== 'number')
            throw missing(el, 'selectedindex');
        return i;
    }, (el, v) => {
        const n = NumberClass(v);
        if (!isInteger(n))
            throw new ErrorClass('selectedindex must be a whole number');
        if (!nativeSet(el, 'selectedIndex', n))
            throw missing(el, 'selectedindex');
    }];
    members.border = [readBorder, writeBorder];
    members.bgcolor = [readBgcolor, writeBgcolor];

    function ownOnclick(el) {
        try {
            return htmlOnclickOf(el);
        } catch (e) {
            try {
                return svgOnclickOf(el);
            } catch (e2) {
                return null;
            }
        }
    }

    function memberOf(member) {
        return members[toLowerCase(text(member))];
    }

    function getMember(el, member) {
        const m = memberOf(member);
        if (!m)
            throw missing(el, member);
        return m[0](el);
    }

    function setMember(el, member, value) {
        const m = memberOf(member);
        if (!m || !m[1])
            throw new ErrorClass(tagOf(el) + ': ' + text(member) + ' cannot be written');
        m[1](el, value);
    }

    function invoke(el, operation) {
        const op = toLowerCase(text(operation));
        if (op === 'click') {
            try {
                htmlClick(el);
            } catch (e) {
                const init = create(null);
                init.bubbles = true;
                init.cancelable = true;
                init.view = window;
                dispatchEvent(el, new MouseEventClass('click', init));
            }
            return;
        }
        if (op === 'focus' || op === 'setfocus') {
            try {
                htmlFocus(el);
            } catch (e) {
                try {
                    svgFocus(el);
                } catch (e2) {
                    // cannot take the focus
                }
            }
            return;
        }
        throw missing(el, operation);
    }

    // Inner HTML as content: comments are not content (template libraries
    // put markers with random numbers into the page as comments).
    function withoutComments(html) {
        let at = indexOf(html, '<!--');
        if (at < 0)
            return html;
        let out = '';
        let from = 0;
        while (at >= 0) {
            const end = indexOf(html, '-->', at + 4);
            if (end < 0)
                break;
            out += substring(html, from, at);
            from = end + 3;
            at = indexOf(html, '<!--', from);
        }
        return out + substring(html, from);
    }

    // The identity of an element as the search compares it: pictures by
    // file name, lists and fields by name, links and every other tag by
    // their inner HTML without comments.
    function identityOf(el, tag) {
        switch (tag) {
        case 'IMG': return getMember(el, 'nameprop');
        case 'SELECT':
        case 'INPUT': return getMember(el, 'name');
        default: return withoutComments(innerHTMLOf(el));
        }
    }
    function wanted(tag, identity) {
        return tag === 'IMG' || tag === 'SELECT' || tag === 'INPUT' ? identity : withoutComments(identity);
    }

    // Every element the search accepts, in search order: document order,
    // with the elements of an open shadow root right after its host (closed
    // roots stay closed); at most max of them.
    function collect(tag, identity, max) {
        const found = newList();
        const top = documentElementOf(document);
        if (top === null || typeof tag !== 'string' || typeof identity !== 'string')
            return found;
        const want = wanted(tag, identity);
        // Compared by inner HTML: an element with child elements has a tag
        // in it, so it cannot match a wanted text without one.
        const byMarkup = tag !== 'IMG' && tag !== 'SELECT' && tag !== 'INPUT';
        const tagless = indexOf(want, '<') < 0;
        function visit(el) {
            const t = tagNameOf(el);
            // Upper-casing only names that can match (HTML ones already are).
            if ((t === tag || (t.length === tag.length && toUpperCase(t) === tag))
                && !(byMarkup && tagless && firstChildOf(el) !== null)) {
                try {
                    if (identityOf(el, tag) === want)
                        push(found, el);
                } catch (e) {
                    // not this one
                }
            }
            // The shadow tree right after its host, before the children.
            const root = mayHostShadow(t) ? shadowRootOf(el) : null;
            if (root !== null)
                walk(root);
        }
        // The elements under root in document order, walked natively; only
        // shadow trees, which are seldom nested deeply, recurse.
        function walk(root) {
            const walker = createTreeWalker(document, root, 1 /* elements */);
            for (let el = walkerNext(walker); el !== null && found.length < max;
                 el = walkerNext(walker))
                visit(el);
        }
        visit(top);
        if (found.length < max)
            walk(top);
        return found;
    }

    // Only custom elements and these can have a shadow root of their own;
    // the others are not asked for one. Decided once per tag name.
    const SHADOW_HOSTS = freeze(['ARTICLE', 'ASIDE', 'BLOCKQUOTE', 'BODY', 'DIV', 'FOOTER',
        'H1', 'H2', 'H3', 'H4', 'H5', 'H6', 'HEADER', 'MAIN', 'NAV', 'P', 'SECTION', 'SPAN']);
    const hostTags = create(null);
    function mayHostShadow(t) {
        let may = hostTags[t];
        if (may === undefined) {
            may = indexOf(t, '-') >= 0 || oneOf(SHADOW_HOSTS, toUpperCase(t));
            hostTags[t] = may;
        }
        return may;
    }

    function matching(tag, identity, limit) {
        return toArray(collect(tag, identity, typeof limit === 'number' ? limit : Infinity));
    }

    // INPUT types that a recorded value names (the button's caption, the
    // radio's or box's value) rather than fills in.
    const SELF_NAMED = freeze(['submit', 'button', 'reset', 'image', 'radio', 'checkbox']);
    // INPUT types whose value is text the user typed.
    const TEXT_LIKE = freeze(['text', 'search', 'email', 'url', 'tel', 'password', 'number', 'hidden']);
    function oneOf(list, v) {
        for (let i = 0; i < list.length; ++i)
            if (list[i] === v)
                return true;
        return false;
    }

    // A recorded hint that tells several matches apart: "#id" or "@n".
    function readHint(hint) {
        if (typeof hint !== 'string' || hint.length < 2)
            return null;
        const rest = substring(hint, 1);
        if (indexOf(hint, '#') === 0)
            return { id: rest, position: 0 };
        if (indexOf(hint, '@') !== 0)
            return null;
        let n = 0;
        for (let i = 0; i < rest.length; ++i) {
            const c = indexOf('0123456789', substring(rest, i, i + 1));
            if (c < 0)
                return null;
            n = n * 10 + c;
        }
        return n > 0 ? { id: null, position: n } : null;
    }

    // The element a recorded line means. All matches for (tag, identity);
    // of several, an INPUT line keeps those whose own value is the line's
    // value (buttons, radios, boxes), and a hint picks one; what is still
    // not one is the first. Result: {handle, matches, defaulted} and, for a
    // field, content: its text (text-like INPUT) or chosen index (SELECT).
    function locate(tag, identity, value, hint) {
        const all = collect(tag, identity, Infinity);
        const result = { handle: 0, matches: all.length, defaulted: false, content: null };
        if (all.length === 0)
            return result;
        let chosen = all[0];
        if (all.length > 1) {
            let kept = all;
            if (tag === 'INPUT' && typeof value === 'string') {
                const same = newList();
                for (let i = 0; i < all.length; ++i) {
                    const el = all[i];
                    if (oneOf(SELF_NAMED, text(nativeGet(el, 'type'))) && nativeGet(el, 'value') === value)
                        push(same, el);
                }
                if (same.length > 0)
                    kept = same;
            }
            const h = tag === 'SELECT' ? null : readHint(hint);
            let pick = null;
            if (h && h.id !== null) {
                for (let i = 0; i < kept.length && pick === null; ++i)
                    if (idOf(kept[i]) === h.id)
                        pick = kept[i];
            } else if (h && h.position <= all.length) {
                const el = all[h.position - 1];
                for (let i = 0; i < kept.length && pick === null; ++i)
                    if (kept[i] === el)
                        pick = el;
            }
            if (pick !== null) {
                chosen = pick;
            } else {
                chosen = kept[0];
                result.defaulted = kept.length > 1;
            }
        }
        result.handle = handle(chosen);
        if (tag === 'SELECT') {
            const i = nativeGet(chosen, 'selectedIndex');
            if (typeof i === 'number')
                result.content = StringClass(i);
        } else if (tag === 'INPUT' && oneOf(TEXT_LIKE, text(nativeGet(chosen, 'type')))) {
            const v = nativeGet(chosen, 'value');
            if (typeof v === 'string')
                result.content = v;
        }
        return result;
    }

    // Input readiness: two animation frames after load (a hidden document
    // renders no frames and is ready at load).
    let loaded = false;
    let frames = 0;
    function send(ev) {
        consoleLog(TOKEN + '{"ev":' + stringify(ev) + ',"t":' + toJson(timeOrigin, 0) + '}');
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
        if (!loaded && readyStateOf(document) === 'complete')
            onLoad();
        return loaded && (frames >= 2 || visibilityOf(document) !== 'visible');
    });
    define('length', () => allLength(allOf(document)));
    define('item', (i) => {
        const el = typeof i === 'number' ? allItem(allOf(document), i) : null;
        if (!el)
            throw new ErrorClass('no element at index ' + text(i));
        return handle(el);
    });
    define('get', (h, member) => getMember(element(h), member));
    define('set', (h, member, value) => setMember(element(h), member, value));
    define('option', (h, i) => {
        const el = element(h);
        const options = nativeGet(el, 'options');
        if (options === NONE || options === null)
            throw missing(el, 'Options');
        const o = typeof i === 'number' && i >= 0 && i < collectionLength(options)
            ? collectionItem(options, i) : null;
        if (!o)
            throw new ErrorClass('no option at index ' + text(i));
        return { value: text(nativeGet(o, 'value')), text: text(nativeGet(o, 'text')) };
    });
    define('invoke', (h, operation) => invoke(element(h), operation));
    define('findElement', (tag, identity, value, hint) => locate(tag, identity, value, hint));
    // A recorded line's element from the line's fields: pictures, links,
    // lists and fields are known by Object, every other tag by its Value.
    define('findLineElement', (tag, object, value, hint) => locate(
        tag, tag === 'IMG' || tag === 'A' || tag === 'SELECT' || tag === 'INPUT' ? object : value,
        value, hint));

    const agent = freeze({
        define: define,
        call: call,
        handle: handle,
        element: element,
        get: getMember,
        set: setMember,
        invoke: invoke,
        findElement: locate,
        matching: matching,
        unhighlight: unhighlight,
        withoutHighlights: withoutHighlights,
        // The other agent files take their built-ins with these, at their
        // own injection, before any script of the page runs.
        builtins: freeze({
            method: method, accessor: accessor, getter: getter, setter: setter,
            toJson: v => toJson(v, 0),
        }),
    });
    defineProperty(window, '__kestrel', {
        value: agent, writable: false, configurable: false, enumerable: false,
    });
})();
