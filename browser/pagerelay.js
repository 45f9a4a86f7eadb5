// The program's end of the page bridge in the top frame of a service page.
// It runs in a script world of its own: it shares the page's document but
// none of its scripts' objects, and the engine offers the web channel to the
// native side only in this world, so no page can reach it. Injected at
// document creation into the main frame, after the web channel library,
// inside a function whose parameter __orvaRelayConfig holds the service's
// origin.
//
// Once the native side has numbered this document, the relay passes the page
// bridge's messages (pagebridge.js) on to it, tagged with that number, and
// its messages to the page bridge, through events on the window. It also
// tells the native side which link the user clicked last, so that only such
// a link can start another program.
//
// Under Node (tests) the file only exports start().
(function () {
  'use strict';

  // The events that carry the traffic to and from the page bridge (which
  // names them too), each holding JSON text [kind, value].
  var topage = '__orvapage';
  var tonative = '__orvanative';

  function parse(text) {
    try {
      return JSON.parse(text);
    } catch (e) {
      return null;
    }
  }

  // The address of the link a click landed on, or '' for anything else.
  function clickedlink(event) {
    var path = typeof event.composedPath === 'function' ? event.composedPath() : [];
    for (var i = 0; i < path.length; i++) {
      var node = path[i];
      var name = node && node.localName;
      if ((name === 'a' || name === 'area') && typeof node.href === 'string' && node.href) return node.href;
    }
    return '';
  }

  function start(win, config, channelctor) {
    var origin = config && typeof config.origin === 'string' ? config.origin : '';
    if (!origin || win.top !== win || win.location.origin !== origin) return;
    var transport = win.qt && win.qt.webChannelTransport;
    if (typeof channelctor !== 'function' || !transport) return;
    var native = null;
    var document = null; // this document's number, once the native side knows it
    var menus = [];

    function tell(kind, value) {
      win.dispatchEvent(new CustomEvent(topage, { detail: JSON.stringify([kind, value]) }));
    }

    win.addEventListener(tonative, function (event) {
      var m = parse(event.detail);
      if (!Array.isArray(m)) return;
      if (m[0] === 'hello' && native) tell('connected', menus);
      else if (m[0] === 'post' && native && Array.isArray(m[1])) native.post(m[1], document, delivered);
    });

    // Only a trusted click counts: a page's script cannot make one, and a
    // click inside a frame never reaches this document.
    win.addEventListener(
      'click',
      function (event) {
        if (event.isTrusted && native) native.linkclicked(clickedlink(event), document);
      },
      true,
    );

    // The native side's messages for the page come with message(), and those
    // it sent while it handled a post in its reply to that post. They are
    // delivered only once it has numbered this document; anything before
    // that was meant for an earlier one.
    function deliver(wire) {
      if (native) tell('message', wire);
    }
    function delivered(wires) {
      if (Array.isArray(wires)) wires.forEach(deliver);
    }

    new channelctor(transport, function (channel) {
      var obj = channel && channel.objects && channel.objects.orvabridge;
      if (!obj || !obj.message || typeof obj.newdocument !== 'function') return;
      obj.message.connect(deliver);
      obj.newdocument(function (answer) {
        if (!answer || typeof answer.document !== 'number') return;
        document = answer.document;
        menus = Array.isArray(answer.menus) ? answer.menus : [];
        native = obj;
        tell('connected', menus);
      });
    });

    // The native side asks which document is here after a navigation that
    // left the page in place (a download, a link to another program).
    Object.defineProperty(win, '__orvaRelayDocument', {
      get: function () {
        return document === null ? -1 : document;
      },
    });
  }

  if (typeof module === 'object' && module && typeof module.exports === 'object') {
    module.exports = { start: start };
  } else if (typeof window === 'object' && window) {
    try {
      start(
        window,
        typeof __orvaRelayConfig === 'object' ? __orvaRelayConfig : null,
        typeof QWebChannel === 'function' ? QWebChannel : null,
      );
    } catch (e) {
      // never disturb the page
    }
  }
})();
