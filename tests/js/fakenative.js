// Stand-ins for the native object on the web channel: it records what is
// posted and delivers messages to the connected listeners.
'use strict';

function fakenative() {
  const native = {
    sent: [],
    listeners: [],
    post(wire) {
      native.sent.push(wire);
    },
    message: {
      connect(fn) {
        native.listeners.push(fn);
      },
    },
    deliver(...wire) {
      native.listeners.forEach((fn) => fn(wire));
    },
  };
  return native;
}

// The native object as the relay sees it: it gives the document that
// connects the number `document` once confirm() is called, and records the
// document number of each post and the links clicked.
function numberednative(document = 1, menus = []) {
  const native = fakenative();
  native.documents = [];
  native.links = [];
  native.post = (wire, doc) => {
    native.sent.push(wire);
    native.documents.push(doc);
  };
  native.newdocument = (done) => {
    native.confirm = () => done({ document, menus });
  };
  native.linkclicked = (href, doc) => native.links.push([href, doc]);
  return native;
}

// A QWebChannel stand-in: records each channel opened; ready() completes the
// last one with the given native object.
function fakechannel(native) {
  const ctor = function (transport, onready) {
    ctor.opened.push(transport);
    ctor.ready = () => onready({ objects: { orvabridge: native } });
  };
  ctor.opened = [];
  return ctor;
}

module.exports = { fakenative, numberednative, fakechannel };
