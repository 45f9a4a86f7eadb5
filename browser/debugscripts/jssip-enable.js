// Turns on the JsSIP library's own debug output, when the page has it.
(function () {
  if (window.JsSIP && window.JsSIP.debug) {
    window.JsSIP.debug.enable('JsSIP:*');
    console.log('%c[JsSIP Debug] Logging enabled', 'color: green; font-weight: bold');
  } else {
    console.warn('%c[JsSIP Debug] JsSIP not found on this page', 'color: orange; font-weight: bold');
  }
})();
