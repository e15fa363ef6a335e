// Kestrel page agent, recorder part: the document's event forwarders.
//
// hookBrowser hangs one forwarder per event on the document's handler
// properties "onclick", "onkeydown", "onfocusout", "onmouseover" and
// "onmouseout". When its event bubbles up to the document, a forwarder sends
// Kestrel, over the page's web channel, a snapshot of what the recorder may
// read of the event's source element at that moment (the C++ side runs later,
// perhaps after the page has gone) and the element's handle for the
// highlight. The channel's one object takes one call, post(token, snapshot);
// the token names the forwarder on Kestrel's side.
(function () {
    'use strict';
    const K = window.__kestrel;
    if (!K)
        return;
    // Handles are numbered per document; Kestrel may still hold one of the
    // document before when it writes, so its calls name the document too.
    const DOC = Math.random().toString(36).slice(2) + '-' + performance.timeOrigin;
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
        K.define('recorderPosted', function () { return { doc: DOC, seq: posted }; });
        // The element as a click's source would show it, read now (the Alt
        // key checks the element the mouse last moved over).
        K.define('recorderSnapshot', function (doc, h) {
            return snapshot(elementOf(doc, h), 'onclick', null);
        });
    } catch (e) {
        return; // this document has its forwarders' machinery already
    }

    // Taken before the page can replace them. The web channel's client below
    // sees these, not the page's globals.
    const JSON = { stringify: window.JSON.stringify, parse: window.JSON.parse };
    const ElementClass = Element;
    const SelectClass = HTMLSelectElement;
    const addListener = EventTarget.prototype.addEventListener;
    const targetOf = Object.getOwnPropertyDescriptor(Event.prototype, 'target').get;
    const closest = Element.prototype.closest;
    const defineProperty = Object.defineProperty;
    const setTimer = window.setTimeout.bind(window);
    const handlerProperty = {};
    for (const name of ['onclick', 'onkeydown', 'onmouseover', 'onmouseout'])
        handlerProperty[name] = Object.getOwnPropertyDescriptor(Document.prototype, name);
    const transport = typeof qt === 'object' && qt && qt.webChannelTransport
        ? qt.webChannelTransport : null;

    /*@@QWEBCHANNEL@@*/

    const EVENTS = ['onclick', 'onkeydown', 'onfocusout', 'onmouseover', 'onmouseout'];

    // The channel: reports made before it is ready wait in order. Each is
    // numbered, so Kestrel can tell when it has seen all reports made so far.
    let bridge = null;
    const waiting = [];
    let posted = 0;
    function post(token, snapshot) {
        if (snapshot.seq === undefined)
            snapshot.seq = ++posted;
        if (bridge) {
            try {
                bridge.post(token, snapshot);
            } catch (e) {
                // the channel is gone with the document
            }
            return;
        }
        if (waiting.length < 10000)
            waiting.push([token, snapshot]);
    }
    if (transport && typeof QWebChannel === 'function') {
        try {
            new QWebChannel(transport, function (channel) {
                const b = channel.objects && channel.objects.kestrel;
                if (!b || typeof b.post !== 'function')
                    return;
                bridge = b;
                while (waiting.length) {
                    const [token, snapshot] = waiting.shift();
                    post(token, snapshot);
                }
            });
        } catch (e) {
            // no channel: nothing is recorded on this page
        }
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
    addListener.call(document, 'focusout', function (ev) {
        const h = focusoutHandler;
        if (typeof h !== 'function')
            return;
        let result;
        try {
            result = h.call(document, ev);
        } catch (e) {
            // Reported like an error in any other handler.
            setTimer(function () { throw e; }, 0);
            return;
        }
        if (result === false)
            ev.preventDefault();
    });

    function readHandler(name) {
        return name === 'onfocusout' ? focusoutHandler : handlerProperty[name].get.call(document);
    }
    function writeHandler(name, fn) {
        if (name === 'onfocusout')
            focusoutHandler = fn;
        else
            handlerProperty[name].set.call(document, fn);
    }

    // What ProcessWebEvent may read of the source element, taken now. A
    // member the element lacks (or that throws) is left out.
    function snapshot(el, webMethod, ev) {
        const members = {};
        function read(member) {
            try {
                members[member] = K.get(el, member);
            } catch (e) {
                // not readable
            }
        }
        read('tagname');
        read('name');
        if (webMethod === 'onmouseover' || webMethod === 'onmouseout') {
            read('border');
            read('bgcolor');
        } else {
            read('value');
            read('innertext');
        }
        if (webMethod === 'onclick') {
            read('innerhtml');
            read('onclick');
            read('pathname');
            read('nameprop');
            read('selectedindex');
            try {
                const o = el.options[members.selectedindex];
                if (o)
                    members.option = { value: String(o.value), text: String(o.text) };
            } catch (e) {
                // no option at that index
            }
        }
        const s = { doc: DOC, handle: K.handle(el), members: members };
        if (ev && typeof ev.keyCode === 'number')
            s.keyCode = ev.keyCode;
        return s;
    }

    function inList(el) {
        try {
            return closest.call(el, 'select') !== null;
        } catch (e) {
            return false;
        }
    }

    function report(token, webMethod, ev) {
        const el = targetOf.call(ev);
        if (!(el instanceof ElementClass))
            return;
        // A click on a list carries the choice it had before; the choice is
        // recorded when the list reports its change (below).
        if (webMethod === 'onclick' && inList(el))
            return;
        post(token, snapshot(el, webMethod, ev));
    }

    // clsForward: a forwarder is armed by being made with its token; the page
    // calls it, as the document's handler, when its event fires.
    const tokens = new WeakMap();
    function forwarder(webMethod, token) {
        const f = function (ev) {
            try {
                const e = ev || window.event;
                if (e)
                    report(token, webMethod, e);
            } catch (x) {
                // never disturb the page
            }
        };
        tokens.set(f, token);
        return f;
    }

    // Choosing from a list, by mouse or keyboard: the list's click, with the
    // option now chosen, as long as our click forwarder is the document's.
    addListener.call(document, 'change', function (ev) {
        try {
            const el = targetOf.call(ev);
            if (!(el instanceof SelectClass))
                return;
            const token = tokens.get(readHandler('onclick'));
            if (token !== undefined)
                post(token, snapshot(el, 'onclick', ev));
        } catch (x) {
            // never disturb the page
        }
    }, true);

    // hookBrowser: [{event, token}, ...]. Replaces the document's handlers
    // for those events; returns the document's id and how many were set.
    function hookBrowser(list) {
        let n = 0;
        for (const item of Array.isArray(list) ? list : []) {
            const name = String(item && item.event);
            if (EVENTS.indexOf(name) < 0)
                continue;
            writeHandler(name, forwarder(name, String(item.token)));
            ++n;
        }
        return { doc: DOC, set: n };
    }
})();
