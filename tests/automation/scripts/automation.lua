-- The automation module of the test host: hotkeys as a user would bind
-- them, one of them failing on purpose. (Ctrl+Alt with F1..F12 switches
-- virtual terminals in the X server's keymap and never reaches a program.)
hotkeyhits = 0
failures = 0
qx.registerhotkey('^!K', function()
  hotkeyhits = hotkeyhits + 1
  -- Types into the focused window while the hotkey's keys may still be held.
  qx.sendstring('h')
end)
qx.registerhotkey('VK_F7', function()
  failures = failures + 1
  error('hotkey failure ' .. failures)
end)
return true
