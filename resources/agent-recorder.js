// Kestrel page agent, recorder part: the document's event forwarders.
//
// hookBrowser hangs one forwarder per event on the document's handler
// properties "onclick", "onkeydown", "onfocusout", "onmouseover" and
// "onmouseout". When its event bubbles up to the document, a forwarder sends
// Kestrel, over the page's web channel, a snapshot of what the recorder may
// read of the element the user acted on at that moment (the C++ side runs
// later, perhaps after the page has gone) and the element's handle for the
// highlight. The channel's one object takes one call, post(token, snapshot);
// the token names the forwarder on Kestrel's side.
//
// The page runs in this same world and may replace any built-in. Everything
// used here after injection was taken before the page's first script ran,
// tokens live only in closures, and reports are serialised here, so a page
// can neither read a token nor change or add a report.
(function () {
    'use strict';
    const K = window.__kestrel;
    if (!K)
        return;

    // Built-ins as taken by the core agent at injection: f(thisArg, ...args),
    // immune to later changes of call, apply, bind and the prototypes.
    const { method, getter, setter, toJson } = K.builtins;
    const apply = Reflect.apply;
    const descriptor = Object.getOwnPropertyDescriptor;
    const defineProperty = Object.defineProperty;
    const createObject = Object.create;
    const isArray = Array.isArray;
    const stringify = JSON.stringify;
    const random = Math.random;
    const numberToString = method(Number.prototype, 'toString');
    const stringSlice = method(String.prototype, 'slice');
    const setTimer = method(window, 'setTimeout');
    const clearTimer = method(window, 'clearTimeout');
    const addListener = method(EventTarget.prototype, 'addEventListener');
    const targetOf = getter(Event.prototype, 'target');
    const typeOf = getter(Event.prototype, 'type');
    const composedPath = method(Event.prototype, 'composedPath');
    const preventDefault = method(Event.prototype, 'preventDefault');
    const detailOf = getter(UIEvent.prototype, 'detail');
    const keyCodeOf = getter(KeyboardEvent.prototype, 'keyCode');
    const clientXOf = getter(MouseEvent.prototype, 'clientX');
    const clientYOf = getter(MouseEvent.prototype, 'clientY');
    const nodeTypeOf = getter(Node.prototype, 'nodeType');
    const tagNameOf = getter(Element.prototype, 'tagName');
    const getAttribute = method(Element.prototype, 'getAttribute');
    const closest = method(Element.prototype, 'closest');
    const shadowModeOf = getter(ShadowRoot.prototype, 'mode');
    const optionsOf = getter(HTMLSelectElement.prototype, 'options');
    const optionAt = method(HTMLOptionsCollection.prototype, 'item');
    const optionValueOf = getter(HTMLOptionElement.prototype, 'value');
    const optionTextOf = getter(HTMLOptionElement.prototype, 'text');
    const weakSetAdd = method(WeakSet.prototype, 'add');
    const weakSetHas = method(WeakSet.prototype, 'has');
    const handlerProperty = createObject(null);
    for (const name of ['onclick', 'onkeydown', 'onmouseover', 'onmouseout']) {
        handlerProperty[name] = {
            get: getter(Document.prototype, name), set: setter(Document.prototype, name),
        };
    }
    const transport = typeof qt === 'object' && qt && qt.webChannelTransport
        ? qt.webChannelTransport : null;
    const transportSend = transport && typeof transport.send === 'function'
        ? method(transport, 'send') : null;

    // Handles are numbered per document; Kestrel may still hold one of the
    // document before when it writes, so its calls name the document too.
    const DOC = stringSlice(numberToString(random(), 36), 2) + '-' + performance.timeOrigin;
    function elementOf(doc, h) {
        if (doc !== DOC)
            throw new Error('the element belongs to another document');
        return K.element(h);
    }
    try {
        K.define('hookBrowser', function (list) { return hookBrowser(list); });
        K.define('recorderGet', function (doc, h, member) {
            return K.get(elementOf(doc, h), member);
        });
        K.define('recorderSet', function (doc, h, member, value) {
            K.set(elementOf(doc, h), member, value);
        });
        // The mouse left the element: its highlight, if it has one, comes off
        // exactly; an element without one is left alone.
        K.define('recorderUnhighlight', function (doc, h) {
            if (doc === undefined)
                K.unhighlight();
            else
                K.unhighlight(elementOf(doc, h));
        });
        K.define('recorderPosted', function () { return { doc: DOC, seq: posted }; });
        // The element as a click's source would show it, read now (the Alt
        // key checks the element the mouse last moved over).
        K.define('recorderSnapshot', function (doc, h) {
            return snapshot(elementOf(doc, h), 'onclick', null);
        });
    } catch (e) {
        return; // this document has its forwarders' machinery already
    }

    function record() {
        return createObject(null);
    }

    // The channel, spoken directly: one invocation of the bridge's post per
    // report. Each report is numbered, so Kestrel can tell when it has seen
    // all reports made so far.
    let posted = 0;
    function post(token, snapshot) {
        snapshot.seq = ++posted;
        if (!transportSend)
            return;
        try {
            transportSend(transport, '{"type":6,"id":"kestrel","object":"kestrel","method":"post",'
                          + '"args":[' + stringify(token) + ',' + toJson(snapshot) + ']}');
        } catch (e) {
            // the channel is gone with the document
        }
    }

    function isElement(node) {
        try {
            return nodeTypeOf(node) === 1;
        } catch (e) {
            return false;
        }
    }
    function tagOf(el) {
        try {
            return tagNameOf(el);
        } catch (e) {
            return '';
        }
    }

    // Hosts of closed shadow roots: what happens inside them cannot be seen,
    // and their host is not what the user acted on.
    const closedHosts = new WeakSet();
    const attachShadowCall = method(Element.prototype, 'attachShadow');
    const attachDescriptor = descriptor(Element.prototype, 'attachShadow');
    defineProperty(Element.prototype, 'attachShadow', {
        configurable: attachDescriptor.configurable,
        enumerable: attachDescriptor.enumerable,
        writable: attachDescriptor.writable,
        value: function attachShadow(init) {
            const root = attachShadowCall(this, init);
            if (shadowModeOf(root) === 'closed')
                weakSetAdd(closedHosts, this);
            else
                watchRoot(root);
            return root;
        },
    });

    // The element the user acted on: the first element of the event's path,
    // inside open shadow roots too (the host of a closed one for what
    // happens inside that); null when there is no element.
    function sourceOf(ev) {
        let el = null;
        try {
            const path = composedPath(ev);
            for (let i = 0; i < path.length && el === null; ++i)
                if (isElement(path[i]))
                    el = path[i];
        } catch (e) {
            // no path
        }
        if (el === null) {
            const t = targetOf(ev);
            el = isElement(t) ? t : null;
        }
        return el;
    }
    function isClosedHost(el) {
        return el !== null && weakSetHas(closedHosts, el);
    }

    // Chromium has no "onfocusout" handler property; this one behaves like
    // the others: one handler, replaced by each assignment, called when a
    // focusout event bubbles up to the document.
    let focusoutHandler = null;
    defineProperty(document, 'onfocusout', {
        configurable: true,
        enumerable: true,
        get: function () { return focusoutHandler; },
        set: function (v) { focusoutHandler = typeof v === 'function' ? v : null; },
    });
    addListener(document, 'focusout', function (ev) {
        const h = focusoutHandler;
        if (typeof h !== 'function')
            return;
        if (h === forwarders.onfocusout && weakSetHas(reported, ev))
            return;
        let result;
        try {
            result = apply(h, document, [ev]);
        } catch (e) {
            // Reported like an error in any other handler.
            setTimer(window, function () { throw e; }, 0);
            return;
        }
        if (result === false)
            preventDefault(ev);
    });

    // Focus moving between two fields of one shadow tree never reaches the
    // document (the event stops at the tree's root), so a field left that way
    // reports from its root.
    const reported = new WeakSet();
    function watchRoot(root) {
        addListener(root, 'focusout', function (ev) {
            const f = forwarders.onfocusout;
            // Once, however many trees (one inside another) it leaves.
            if (f && focusoutHandler === f && !weakSetHas(reported, ev)) {
                weakSetAdd(reported, ev);
                f(ev);
            }
        });
    }

    function readHandler(name) {
        return name === 'onfocusout' ? focusoutHandler : handlerProperty[name].get(document);
    }
    function writeHandler(name, fn) {
        if (name === 'onfocusout')
            focusoutHandler = fn;
        else
            handlerProperty[name].set(document, fn);
    }

    // Identities under which a line may name an element of this tag (by its
    // Object or, for other tags, its Value; "" for an ENTER line's).
    function identitiesOf(tag) {
        switch (tag) {
        case 'INPUT':
        case 'SELECT':
            return ['name'];
        case 'IMG':
            return ['nameprop', 'name'];
        case 'A':
            return ['innerhtml', 'name'];
        default:
            return ['innerhtml', 'innertext', null];
        }
    }

    // The element's hint among the elements that share its identity: none
    // when it is the only one, "#id" when its id tells it from the others,
    // else "@n", its place among them in search order.
    function hintFor(el, tag, identity) {
        let found;
        try {
            found = K.matching(tag, identity);
        } catch (e) {
            return '';
        }
        const n = found.length;
        if (!(n > 1))
            return '';
        let at = -1;
        for (let i = 0; i < n && at < 0; ++i)
            if (found[i] === el)
                at = i;
        if (at < 0)
            return '';
        const id = getAttribute(el, 'id');
        if (typeof id === 'string' && id !== '') {
            let unique = true;
            for (let i = 0; i < n && unique; ++i)
                if (i !== at && getAttribute(found[i], 'id') === id)
                    unique = false;
            if (unique)
                return '#' + id;
        }
        return '@' + (at + 1);
    }

    // What ProcessWebEvent may read of the element, taken now and as the page
    // has it without any highlight. A member the element lacks (or that
    // throws) is left out.
    function snapshot(el, webMethod, ev) {
        return K.withoutHighlights(function () { return read(el, webMethod, ev); });
    }
    function read(el, webMethod, ev) {
        const members = record();
        function take(member) {
            try {
                const v = K.get(el, member);
                const t = typeof v;
                if (v === null || t === 'string' || t === 'number' || t === 'boolean')
                    members[member] = v;
            } catch (e) {
                // not readable
            }
        }
        take('tagname');
        take('name');
        const s = record();
        s.doc = DOC;
        s.handle = K.handle(el);
        s.members = members;
        if (webMethod === 'onmouseover' || webMethod === 'onmouseout') {
            take('border');
            take('bgcolor');
            return s;
        }
        take('value');
        take('innertext');
        take('innerhtml');
        take('onclick');
        take('pathname');
        take('nameprop');
        take('selectedindex');
        if (typeof members.selectedindex === 'number') {
            try {
                const o = optionAt(optionsOf(el), members.selectedindex);
                if (o) {
                    const option = record();
                    option.value = '' + optionValueOf(o);
                    option.text = '' + optionTextOf(o);
                    members.option = option;
                }
            } catch (e) {
                // no option at that index
            }
        }
        if (ev) {
            try {
                s.keyCode = keyCodeOf(ev);
            } catch (e) {
                // not a key event
            }
        }
        // Hints as they were when the event began, before the page's own
        // handlers (which may remove the element) ran; else as they are now.
        s.hints = ev && earlyHas(early, ev) ? earlyGet(early, ev) : hintsOf(el);
        return s;
    }

    // Hints by identity text: the line picks the one of the identity it
    // carries.
    function hintsOf(el) {
        const hints = record();
        let tag;
        try {
            tag = K.get(el, 'tagname');
        } catch (e) {
            return hints;
        }
        const seen = record();
        const which = identitiesOf(tag);
        for (let i = 0; i < which.length; ++i) {
            let identity = '';
            if (which[i] !== null) {
                try {
                    identity = K.get(el, which[i]);
                } catch (e) {
                    continue;
                }
            }
            if (typeof identity !== 'string' || seen[identity])
                continue;
            seen[identity] = true;
            const hint = hintFor(el, tag, identity);
            if (hint !== '')
                hints[identity] = hint;
        }
        return hints;
    }

    // A click (or Enter) may remove its element before it reaches the
    // document, as a row's "Remove" button does: where it was among its
    // likes is taken first, while recording can see it.
    const early = new WeakMap();
    const earlyGet = method(WeakMap.prototype, 'get');
    const earlySet = method(WeakMap.prototype, 'set');
    const earlyHas = method(WeakMap.prototype, 'has');
    function takeEarly(ev) {
        try {
            if (!forwarders.onclick && !forwarders.onkeydown)
                return;
            if (typeOf(ev) === 'keydown' && keyCodeOf(ev) !== 13)
                return;
            const el = sourceOf(ev);
            if (el === null || isClosedHost(el))
                return;
            earlySet(early, ev, K.withoutHighlights(function () { return hintsOf(el); }));
        } catch (x) {
            // never disturb the page
        }
    }
    addListener(window, 'click', takeEarly, true);
    addListener(window, 'keydown', takeEarly, true);

    function inList(el) {
        try {
            return closest(el, 'select') !== null;
        } catch (e) {
            return false;
        }
    }

    // Enter pressed in a field, and recorded as an ENTER step: the click the
    // browser then sends to the form's default button (or the field itself)
    // is part of the Enter, which replays it; it is no step of its own. Such
    // a click is no mouse click (detail 0) and comes before the key is
    // released.
    let enterField = null;
    let enterTimer = 0;
    function endEnter() {
        enterField = null;
        if (enterTimer)
            clearTimer(window, enterTimer);
        enterTimer = 0;
    }
    // Enter reported as a step: its key's release ends what belongs to it.
    function startEnter(el) {
        endEnter();
        enterField = el;
        // Should the release never come here (focus gone elsewhere).
        enterTimer = setTimer(window, endEnter, 2000);
    }
    addListener(window, 'keyup', function (ev) {
        try {
            if (keyCodeOf(ev) === 13)
                endEnter();
        } catch (x) {
            // never disturb the page
        }
    }, true);
    function partOfEnter(ev) {
        try {
            return enterField !== null && detailOf(ev) === 0;
        } catch (e) {
            return false;
        }
    }

    function report(token, webMethod, ev) {
        const el = sourceOf(ev);
        if (el === null)
            return;
        // Inside a closed shadow root the host stands in for the highlight;
        // nothing else can be recorded there, and Kestrel says so.
        if (isClosedHost(el) && webMethod !== 'onmouseover' && webMethod !== 'onmouseout') {
            const s = record();
            s.doc = DOC;
            s.kind = 'closed';
            post(token, s);
            return;
        }
        if (webMethod === 'onkeydown') {
            let key = 0;
            try {
                key = keyCodeOf(ev);
            } catch (e) {
                // not a key event
            }
            if (key === 13 && tagOf(el) === 'INPUT')
                startEnter(el);
            else
                endEnter();
        }
        if (webMethod === 'onclick') {
            // A click on a list carries the choice it had before; the choice
            // is recorded when the list reports it (below).
            if (inList(el))
                return;
            if (partOfEnter(ev))
                return;
            const tag = tagOf(el);
            if (tag === 'HTML' || tag === 'BODY') {
                // The page's background: a step only for a page that handles
                // it, replayed as a click at that point.
                let own = null;
                try {
                    own = K.get(el, 'onclick');
                } catch (e) {
                    // no handler
                }
                if (own !== true)
                    return;
                const s = record();
                s.doc = DOC;
                s.kind = 'background';
                s.x = clientXOf(ev);
                s.y = clientYOf(ev);
                post(token, s);
                return;
            }
        }
        post(token, snapshot(el, webMethod, ev));
    }

    // clsForward: a forwarder is armed by being made with its token; the page
    // calls it, as the document's handler, when its event fires. The token
    // lives in the forwarder's closure only.
    const forwarders = record();
    function forwarder(webMethod, token) {
        return function (ev) {
            try {
                if (ev)
                    report(token, webMethod, ev);
            } catch (x) {
                // never disturb the page
            }
        };
    }
    // The click forwarder's token, for the lists' reports.
    let clickToken = null;
    function listReport(el, kind, ev) {
        const f = forwarders.onclick;
        if (!f || readHandler('onclick') !== f || clickToken === null)
            return;
        const s = snapshot(el, 'onclick', ev);
        s.kind = kind;
        post(clickToken, s);
    }

    // Choosing from a list, by mouse or keyboard: the list's click, with the
    // option now chosen, as long as our click forwarder is the document's.
    // "input" and not "change": only the former leaves a shadow tree.
    addListener(window, 'input', function (ev) {
        try {
            const el = sourceOf(ev);
            if (el !== null && tagOf(el) === 'SELECT')
                listReport(el, 'change', ev);
        } catch (x) {
            // never disturb the page
        }
    }, true);
    // Pressing the mouse on a list, which opens it: in check mode that is
    // the check of the list as it is now.
    addListener(window, 'mousedown', function (ev) {
        try {
            const el = sourceOf(ev);
            if (el === null || isClosedHost(el))
                return;
            const list = closest(el, 'select');
            if (list !== null)
                listReport(list, 'press', null);
        } catch (x) {
            // never disturb the page
        }
    }, true);

    const EVENTS = record();
    EVENTS.onclick = EVENTS.onkeydown = EVENTS.onfocusout = true;
    EVENTS.onmouseover = EVENTS.onmouseout = true;

    // hookBrowser: [{event, token}, ...]. Replaces the document's handlers
    // for those events; returns the document's id and how many were set.
    function hookBrowser(list) {
        let n = 0;
        if (!isArray(list))
            list = [];
        for (let i = 0; i < list.length; ++i) {
            const item = list[i];
            const name = '' + (item && item.event);
            if (EVENTS[name] !== true)
                continue;
            const token = '' + item.token;
            const f = forwarder(name, token);
            forwarders[name] = f;
            if (name === 'onclick')
                clickToken = token;
            writeHandler(name, f);
            ++n;
        }
        const r = record();
        r.doc = DOC;
        r.set = n;
        return r;
    }
})();
