// The page's native powers. Injected at document creation into every frame,
// inside a function whose parameter __orvaBridgeConfig holds the service's
// origin and the tray menu entries the page has made so far. Frames of that
// origin get the win* functions; their calls become messages [name, arg0, ...]
// to the native side, and the native side's messages become calls of the
// page's callbacks. The top frame owns all page state; same-origin child
// frames reach it through a hidden property of the top window.
//
// This script runs among the page's own scripts, where the page's functions
// and callbacks are. The web channel to the native side is not here: the
// program's relay (pagerelay.js) holds it in a script world of its own, which
// the page's scripts cannot reach, and passes messages on through events on
// the top window.
//
// Under Node (tests) the file only exports its core and touches no DOM.
(function () {
  'use strict';

  // Page scripts run after this one and may replace globals; keep our own.
  var apply = Reflect.apply;
  var defineproperty = Object.defineProperty;
  var isarray = Array.isArray;
  var parsejson = JSON.parse;
  var stringify = JSON.stringify;
  var getdescriptor = Object.getOwnPropertyDescriptor;
  var eventtarget = typeof EventTarget === 'function' ? EventTarget.prototype : null;
  var addlistener = eventtarget && eventtarget.addEventListener;
  var dispatch = eventtarget && eventtarget.dispatchEvent;
  var customevent = typeof CustomEvent === 'function' ? CustomEvent : null;
  var detailof = customevent && getdescriptor(customevent.prototype, 'detail').get;

  // Installed in this order.
  var names = [
    'winPos', 'winOnPos', 'winNotification', 'winLoadQXP', 'winMakeQXPCall', 'winInsertMenu',
    'winRemoveMenuGroup', 'winAlwaysOnTop', 'winOnActivate', 'winRunUpdate', 'winClearCookies', 'winCopy',
    'winOnEvent', 'winShow', 'winHide', 'winToggle', 'winAuth', 'winIs64bit',
  ];

  // The top window's property through which child frames reach its bridge.
  var hubname = '__orvaBridge';

  // The events on the top window that carry the traffic between this script
  // and the relay (pagerelay.js names them too): toward the page and toward
  // the native side. Each holds JSON text [kind, value].
  var topage = '__orvapage';
  var tonative = '__orvanative';

  // Argument getters: a value of another kind reads as the default.
  function int(v) {
    return typeof v === 'number' ? v | 0 : 0;
  }
  function bool(v) {
    return v === true;
  }
  function str(v) {
    return typeof v === 'string' ? v : '';
  }

  // Calls a page callback with no `this`. What it returns or throws must not
  // reach the bridge: one faulty callback may not stop later messages.
  function call(fn, args) {
    if (typeof fn !== 'function') return;
    try {
      apply(fn, undefined, args);
    } catch (e) {
      // discarded
    }
  }

  // The bridge of one top document. `pageglobal(name)` finds the page's
  // makeCall and hangup (by default, properties of `win`, the top window).
  // `menuentries` are the [group, label] pairs earlier documents of the page
  // put in the tray menu. Messages sent before connect() are queued in order.
  function createbridge(win, pageglobal, menuentries) {
    var menus = new Map();    // group -> Map(label -> callback); never shrinks
    var pending = new Map();  // request id -> callback
    var onactivate;
    var onpos;
    var onauth;
    var nextrequestid = 0;
    var native = null;
    var queue = [];

    function send(wire) {
      if (native) native.post(wire);
      else queue.push(wire);
    }

    // The page's menu outlives a reload, so a new document knows the entries
    // its predecessors made: it may set their check marks without a function,
    // and give them one. Until it does, choosing one calls nothing.
    function adoptmenus(entries) {
      if (!isarray(entries)) return;
      for (var i = 0; i < entries.length; i++) {
        if (!isarray(entries[i])) continue;
        var group = str(entries[i][0]);
        var label = str(entries[i][1]);
        if (!menus.has(group)) menus.set(group, new Map());
        if (!menus.get(group).has(label)) menus.get(group).set(label, undefined);
      }
    }
    adoptmenus(menuentries);

    function request(callback) {
      var id = String(nextrequestid);
      nextrequestid += 1;
      pending.set(id, callback);
      return id;
    }

    function insertmenu(args) {
      if (args.length < 3) return false;
      var group = str(args[0]);
      var label = str(args[1]);
      var wire = ['winInsertMenu', group, label, bool(args[2])];
      var items = menus.get(group);
      if (!items) {
        items = new Map();
        menus.set(group, items);
      }
      if (!items.has(label)) {
        // A new item needs its function; without it the tray stays unchanged.
        if (args.length < 4 || typeof args[3] !== 'function') return false;
        items.set(label, args[3]);
      } else if (args.length >= 4) {
        items.set(label, args[3]);
      }
      send(wire);
      return true;
    }

    // One page function call; undefined for names that are not handled.
    function execute(name, args) {
      var n = args.length;
      switch (name) {
        case 'winPos':
          if (n !== 4) return false;
          send(['winPos', int(args[0]), int(args[1]), int(args[2]), int(args[3])]);
          return true;
        case 'winOnPos':
          if (n !== 1) return false;
          onpos = args[0];
          return true;
        case 'winAlwaysOnTop':
          send(['winAlwaysOnTop', bool(args[0])]);
          return true;
        case 'winOnActivate':
          if (n !== 1) return false;
          onactivate = args[0];
          return true;
        case 'winInsertMenu':
          return insertmenu(args);
        case 'winRemoveMenuGroup':
          // The stored items stay, so a later 3-argument insert reuses them.
          send(['winRemoveMenuGroup', str(args[0])]);
          return true;
        case 'winNotification':
          if (n !== 2) return false;
          send(['winNotification', str(args[0]), str(args[1])]);
          return true;
        case 'winLoadQXP':
          if (n !== 2) return false;
          send(['loadQXP', str(args[0]), request(args[1])]);
          return true;
        case 'winMakeQXPCall': {
          if (n !== 4) return false;
          var id = request(args[3]);
          send(['makeQXPCall', int(args[0]), str(args[1]), str(args[2]), id]);
          return true;
        }
        case 'winRunUpdate':
          send(['winRunUpdate', str(args[0])]);
          return true;
        case 'winClearCookies':
          send(['winClearCookies']);
          return true;
        case 'winCopy': {
          // The page cannot write the system clipboard; the native side does.
          var text = str(args[0]);
          var nul = text.indexOf('\0');
          send(['winCopy', nul < 0 ? text : text.slice(0, nul)]);
          return true;
        }
        case 'winOnEvent':
          send(['winOnEvent', str(args[0])]);
          return true;
        case 'winShow':
          send(['winShow', bool(args[0])]);
          return true;
        case 'winToggle':
          send(['winToggle']);
          return true;
        case 'winAuth':
          if (n !== 2) return false;
          onauth = args[1];
          send(['winAuth', str(args[0])]);
          return true;
        case 'winIs64bit':
          return true;
        default:
          return undefined;
      }
    }

    // makeCall and hangup may be defined anywhere in the page: until the
    // document has loaded, requests for them wait, in order.
    var waitingglobals = null;
    function callglobalwhenloaded(name, args) {
      var doc = win.document;
      if (!waitingglobals && !(doc && doc.readyState !== 'complete' && addlistener)) {
        callglobal(name, args);
        return;
      }
      if (!waitingglobals) {
        waitingglobals = [];
        apply(addlistener, win, [
          'load',
          function () {
            var calls = waitingglobals;
            waitingglobals = null;
            for (var i = 0; i < calls.length; i++) callglobal(calls[i][0], calls[i][1]);
          },
        ]);
      }
      waitingglobals.push([name, args]);
    }

    function callglobal(name, args) {
      var fn;
      try {
        fn = pageglobal ? pageglobal(name) : win[name];
      } catch (e) {
        return;
      }
      call(fn, args);
    }

    // One message from the native side. Anything unknown is ignored. Stored
    // callbacks are taken out before they run, so one that registers again
    // (a new sign-in from the sign-in callback) keeps its new registration.
    function receive(wire) {
      if (typeof wire === 'string') {
        try {
          wire = parsejson(wire);
        } catch (e) {
          return;
        }
      }
      if (!isarray(wire)) return;
      var cb;
      switch (wire[0]) {
        case 'dial':
          // The number is passed as a value, never pasted into script text.
          callglobalwhenloaded('makeCall', [str(wire[1])]);
          break;
        case 'hangup':
          callglobalwhenloaded('hangup', []);
          break;
        case 'onMenu': {
          var items = menus.get(str(wire[1]));
          var label = str(wire[2]);
          if (items && items.has(label)) call(items.get(label), []);
          break;
        }
        case 'onActivate':
          call(onactivate, [str(wire[1])]);
          break;
        case 'onPosChange':
          call(onpos, [int(wire[1]), int(wire[2]), int(wire[3]), int(wire[4])]);
          break;
        case 'qxpLoaded':
        case 'qxpCallCompleted': {
          var id = str(wire[1]);
          if (!pending.has(id)) return;
          cb = pending.get(id);
          pending.delete(id);
          call(cb, [wire[0] === 'qxpLoaded' ? int(wire[2]) : str(wire[2])]);
          break;
        }
        case 'onCompleteAuth':
          cb = onauth;
          onauth = undefined;
          call(cb, [str(wire[1])]);
          break;
        default:
          break;
      }
    }

    // The native object is ready: listen, flush the queue in order, then go
    // direct.
    function listen(obj) {
      obj.message.connect(receive);
      var waiting = queue;
      queue = [];
      for (var i = 0; i < waiting.length; i++) obj.post(waiting[i]);
      native = obj;
    }

    // A native side that tells documents apart hears of this one first, and
    // the bridge listens only once it has taken note: anything sent before
    // then (an answer to an earlier document's request) is not taken for
    // this document's. Its answer lists the menu entries made so far, which
    // covers those that came too late for this document's script.
    function connect(obj) {
      if (typeof obj.newdocument === 'function') {
        obj.newdocument(function (entries) {
          adoptmenus(entries);
          listen(obj);
        });
      } else {
        listen(obj);
      }
    }

    return { execute: execute, receive: receive, connect: connect };
  }

  function install(win, execute) {
    names.forEach(function (name) {
      var fn = function () {
        return execute(name, arguments);
      };
      defineproperty(fn, 'name', { value: name });
      win[name] = fn;
    });
  }

  // The relay as the bridge sees it, a native object with post(),
  // message.connect() and newdocument(), over events on the top window. Only
  // scripts that can reach this document, which are the service's own, can
  // send or hear these events.
  function relayport(win) {
    var onmessage = null;
    var onconnected = null;
    function tell(kind, value) {
      apply(dispatch, win, [new customevent(tonative, { detail: stringify([kind, value]) })]);
    }
    apply(addlistener, win, [
      topage,
      function (event) {
        var m;
        try {
          m = parsejson(apply(detailof, event, []));
        } catch (e) {
          return;
        }
        if (!isarray(m)) return;
        if (m[0] === 'connected' && onconnected) {
          var done = onconnected;
          onconnected = null;
          done(m[1]);
        } else if (m[0] === 'message' && onmessage) {
          onmessage(m[1]);
        }
      },
    ]);
    return {
      post: function (wire) {
        tell('post', wire);
      },
      message: {
        connect: function (fn) {
          onmessage = fn;
        },
      },
      // The relay answers "connected" once the native side knows this
      // document, at once if it already does.
      newdocument: function (done) {
        onconnected = done;
        tell('hello');
      },
    };
  }

  // Top frame: the page state, connected to the relay, and offered to child
  // frames.
  function starttop(win, pageglobal, menuentries) {
    if (!addlistener || !customevent || !detailof) return null;
    var bridge = createbridge(win, pageglobal, menuentries);
    bridge.connect(relayport(win));
    defineproperty(win, hubname, { value: Object.freeze({ execute: bridge.execute }) });
    return bridge;
  }

  // Child frame: use the top frame's bridge when the top is of our origin
  // (reading a cross-origin top throws) and has one.
  function findtop(win, origin) {
    try {
      var top = win.top;
      if (top.location.origin !== origin) return null;
      var hub = top[hubname];
      return hub && typeof hub.execute === 'function' ? hub : null;
    } catch (e) {
      return null;
    }
  }

  function start(win, config, pageglobal) {
    var origin = config && typeof config.origin === 'string' ? config.origin : '';
    var own;
    try {
      own = win.location.origin;
    } catch (e) {
      return;
    }
    if (!origin || own !== origin) return;
    var hub = win.top === win ? starttop(win, pageglobal, config.menus) : findtop(win, origin);
    if (hub) install(win, hub.execute);
  }

  // The page's global functions as its own scripts see them: function
  // declarations and window properties, and also top-level let and const,
  // which are not window properties. Resolved when a message arrives.
  function pageglobal(name) {
    if (name === 'makeCall') return typeof makeCall === 'function' ? makeCall : undefined;
    if (name === 'hangup') return typeof hangup === 'function' ? hangup : undefined;
    return undefined;
  }

  if (typeof module === 'object' && module && typeof module.exports === 'object') {
    module.exports = { createbridge: createbridge, start: start };
  } else if (typeof window === 'object' && window) {
    try {
      start(window, typeof __orvaBridgeConfig === 'object' ? __orvaBridgeConfig : null, pageglobal);
    } catch (e) {
      // never disturb the page
    }
  }
})();
