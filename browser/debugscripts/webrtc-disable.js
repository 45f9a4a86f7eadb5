// Ends tracing of connections created from now on: the wrapping constructor
// instruments only while the marker is set. Connections already traced keep
// their listeners and their statistics timer.
(function () {
  if (!window.__qxWebRTCDebug) return;
  delete window.__qxWebRTCDebug;
  console.log('%c[WebRTC Debug] Logging disabled - new connections will not be instrumented',
      'color: orange; font-weight: bold');
})();
