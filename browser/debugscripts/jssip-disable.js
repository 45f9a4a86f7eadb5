// Turns off the JsSIP library's debug output; silent without JsSIP.
(function () {
  if (window.JsSIP && window.JsSIP.debug) {
    window.JsSIP.debug.disable('JsSIP:*');
    console.log('%c[JsSIP Debug] Logging disabled', 'color: orange; font-weight: bold');
  }
})();
