// A stand-in for the native object on the web channel: records what the page
// posts and delivers messages to the connected listeners.
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

module.exports = { fakenative };
