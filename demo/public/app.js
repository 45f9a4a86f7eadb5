// The demo console: a stand-in for the service's softphone page that shows
// what the desktop program lets a page do.
'use strict';

const desktop = typeof window.winPos === 'function';
let plugin = 0;

function log(text) {
  const li = document.createElement('li');
  li.textContent = new Date().toLocaleTimeString() + '  ' + text;
  const list = document.getElementById('log');
  list.prepend(li);
  while (list.children.length > 40) list.lastChild.remove();
}

function setcall(text, active) {
  const state = document.getElementById('callstate');
  state.textContent = text;
  state.className = active ? 'active' : 'idle';
}

// The program calls these two when a script dials or hangs up.
window.makeCall = function (number) {
  document.getElementById('number').value = number;
  setcall('Calling ' + number, true);
  log('makeCall(' + JSON.stringify(number) + ')');
};
window.hangup = function () {
  setcall('No call', false);
  log('hangup()');
};

const actions = {
  corner: () => winPos(screen.width - 800, screen.width, screen.height - 650, screen.height),
  center: () => {
    const l = Math.round((screen.width - 800) / 2), t = Math.round((screen.height - 650) / 2);
    winPos(l, l + 800, t, t + 650);
  },
  pin: () => winAlwaysOnTop(true),
  unpin: () => winAlwaysOnTop(false),
  hide: () => { winShow(false); setTimeout(() => winShow(true), 3000); },
  toggle: () => { winToggle(); setTimeout(winToggle, 1000); },
  notify: () => winNotification('orvalink', 'A notification from the page'),
  menu: () => {
    winInsertMenu('Status', 'Available', true, () => log('tray: Available'));
    winInsertMenu('Status', 'Do not disturb', false, () => log('tray: Do not disturb'));
    winInsertMenu('Calls', 'Call the front desk', false, () => window.makeCall('100'));
    log('tray entries added: open the tray menu');
  },
  check: () => {
    winInsertMenu('Status', 'Available', false);
    winInsertMenu('Status', 'Do not disturb', true);
  },
  unmenu: () => { winRemoveMenuGroup('Status'); winRemoveMenuGroup('Calls'); },
  copy: () => { winCopy(document.getElementById('number').value); log('copied'); },
  event: () => winOnEvent(JSON.stringify({ type: 'demo', at: Date.now() })),
  signin: () => winAuth(location.origin + '/signin', (target) => log('signed in: ' + target)),
  cookies: () => winClearCookies(),
  loadplugin: () => {
    const url = new URL(document.getElementById('pluginurl').value, location.href).href;
    winLoadQXP(url, (n) => { plugin = n; log('plugin loaded as number ' + n); });
  },
  callplugin: () => winMakeQXPCall(plugin, 'echo', 'hello from the page', (r) => log('plugin answered: ' + r)),
  update: () => winRunUpdate('9.9.9'),
};

document.addEventListener('DOMContentLoaded', () => {
  if (!desktop) log('not running inside orvalink Desktop: the buttons do nothing here');
  for (const b of document.querySelectorAll('button[data-act]')) {
    b.addEventListener('click', () => { if (desktop) actions[b.dataset.act](); });
  }
  document.getElementById('dialform').addEventListener('submit', (e) => {
    e.preventDefault();
    window.makeCall(document.getElementById('number').value);
  });
  document.getElementById('hangupbtn').addEventListener('click', () => window.hangup());
  if (desktop) {
    winOnActivate((text) => log('window activated; clipboard starts ' + JSON.stringify(text)));
    winOnPos((l, r, t, b) => log('window at ' + [l, r, t, b].join(', ')));
    winInsertMenu('Clipboard', 'Call ', false, () => log('call the clipboard number'));
    log('running inside orvalink Desktop (64-bit: ' + winIs64bit() + ')');
  }
});
