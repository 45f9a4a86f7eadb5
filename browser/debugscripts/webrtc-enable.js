// Traces every RTCPeerConnection the page creates from now on: creation, ICE,
// state changes, the descriptions set with a summary of their DTLS setup, and
// every 2 s the transport and the nominated candidate pair. The wrapping
// constructor stays in place; it instruments only while the marker is set, so
// the disable script needs only to remove the marker.
(function () {
  if (window.__qxWebRTCDebug) return;
  window.__qxWebRTCDebug = true;

  function log() {
    console.log.apply(console, arguments);
  }

  function orna(v) {
    return v === undefined || v === null || v === '' ? 'n/a' : v;
  }

  function sdpsummary(sdp) {
    if (!sdp) return '';
    var setup = sdp.indexOf('a=setup:');
    var fingerprint = sdp.indexOf('a=fingerprint:');
    return ' setup=' + (setup < 0 ? '(missing)' : sdp.slice(setup + 8).split(/\s/)[0]) +
        ' fingerprint-algo=' + (fingerprint < 0 ? '(missing)' : sdp.slice(fingerprint + 14).split(/\s/)[0]);
  }

  function instrument(pc, configuration) {
    var tag = '[WebRTC-' + Math.random().toString(36).substr(2, 6) + '] ';
    log(tag + 'new RTCPeerConnection', JSON.stringify(configuration));

    pc.addEventListener('icecandidate', function (e) {
      var c = e.candidate;
      if (!c) {
        log(tag + 'ICE gathering complete');
        return;
      }
      var line = tag + 'ICE candidate: ' + c.type + ' ' + c.protocol + ' ' + c.address + ':' + c.port;
      if (c.relatedAddress) line += ' raddr=' + c.relatedAddress + ':' + c.relatedPort;
      log(line);
    });
    pc.addEventListener('icecandidateerror', function (e) {
      console.warn(tag + 'ICE candidate error: ' + e.errorCode + ' ' + e.errorText + ' url=' + e.url + ' host=' +
          e.address + ':' + e.port);
    });
    pc.addEventListener('iceconnectionstatechange', function () {
      log(tag + 'iceConnectionState: ' + pc.iceConnectionState);
    });
    pc.addEventListener('icegatheringstatechange', function () {
      log(tag + 'iceGatheringState: ' + pc.iceGatheringState);
    });
    pc.addEventListener('connectionstatechange', function () {
      log(tag + 'connectionState: ' + pc.connectionState);
    });
    pc.addEventListener('signalingstatechange', function () {
      log(tag + 'signalingState: ' + pc.signalingState);
    });

    var setlocal = pc.setLocalDescription;
    pc.setLocalDescription = function (description) {
      var sdp = description ? description.sdp : pc.localDescription && pc.localDescription.sdp;
      log(tag + 'setLocalDescription type=' + (description ? description.type : 'implicit') + sdpsummary(sdp));
      if (sdp) log(tag + 'LOCAL SDP:\n' + sdp);
      return setlocal.apply(pc, arguments);
    };
    var setremote = pc.setRemoteDescription;
    pc.setRemoteDescription = function (description) {
      var sdp = description && description.sdp;
      log(tag + 'setRemoteDescription type=' + (description && description.type) + sdpsummary(sdp));
      if (sdp) log(tag + 'REMOTE SDP:\n' + sdp);
      return setremote.apply(pc, arguments);
    };
    var addcandidate = pc.addIceCandidate;
    pc.addIceCandidate = function (candidate) {
      if (candidate && candidate.candidate) log(tag + 'addIceCandidate: ' + candidate.candidate);
      return addcandidate.apply(pc, arguments);
    };

    var timer = setInterval(function () {
      if (pc.connectionState === 'closed' || pc.connectionState === 'failed') {
        clearInterval(timer);
        return;
      }
      pc.getStats().then(function (stats) {
        stats.forEach(function (r) {
          if (r.type === 'transport') {
            log(tag + 'transport: dtlsState=' + r.dtlsState + ' dtlsRole=' + orna(r.dtlsRole) + ' dtlsCipher=' +
                orna(r.dtlsCipher) + ' tlsVersion=' + orna(r.tlsVersion) + ' localCertId=' +
                orna(r.localCertificateId) + ' selectedCandidatePairChanges=' +
                (r.selectedCandidatePairChanges === undefined ? 0 : r.selectedCandidatePairChanges));
          } else if (r.type === 'candidate-pair' && r.nominated) {
            log(tag + 'nominated pair: local=' + r.localCandidateId + ' remote=' + r.remoteCandidateId + ' state=' +
                r.state + ' rtt=' + (r.currentRoundTripTime ? r.currentRoundTripTime : 'n/a'));
          }
        });
      }, function () {});
    }, 2000);
  }

  // Enabled again: the wrapper from the first time is still in place.
  var replaced = window.RTCPeerConnection;
  if (typeof replaced === 'function' && !Object.prototype.hasOwnProperty.call(replaced, '__qxReplaced')) {
    var wrapper = function RTCPeerConnection(configuration, constraints) {
      var pc = new replaced(configuration, constraints);
      if (window.__qxWebRTCDebug) instrument(pc, configuration);
      return pc;
    };
    wrapper.prototype = replaced.prototype;
    // Static members (generateCertificate) stay reachable through the wrapper.
    Object.setPrototypeOf(wrapper, replaced);
    Object.defineProperty(wrapper, '__qxReplaced', { value: replaced });
    window.RTCPeerConnection = wrapper;
  }

  log('%c[WebRTC Debug] Logging enabled', 'color: green; font-weight: bold');
})();
