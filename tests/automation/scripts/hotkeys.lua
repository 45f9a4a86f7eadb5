-- Hotkeys bound by the automation module fire from real key presses.
local t = require('testlib')
local w = t.testwindow('Orva Hotkey Window')
t.activate(w.id)
local function balloons(title)
  local n = 0
  for _, b in ipairs(test.balloons()) do if b.title == title then n = n + 1 end end
  return n
end

assert(hotkeyhits == 0)
os.execute('xdotool key ctrl+alt+k')
t.waitfor(function() return hotkeyhits == 1 end, 5000, 'the hotkey function')

-- Keys still held when the function runs are released first, every
-- modifier included: what the function types arrives without them.
local skip = #t.lines(w.log)
os.execute('xdotool keydown ctrl+alt+k')
t.waitfor(function() return hotkeyhits == 2 end, 5000, 'the held hotkey')
test.pump(300)
local typed = t.since(w, skip, 'press .*h$')
assert(typed == 'press h', 'typed while the hotkey was held: ' .. typed)
os.execute('xdotool keyup k alt ctrl')

-- A failing function shows its error and stays bound.
os.execute('xdotool key F7')
t.waitfor(function() return balloons('Automation error') == 1 end, 5000, 'the error balloon')
local last = test.balloons()[#test.balloons()]
assert(last.text:find('hotkey failure 1'), last.text)
os.execute('xdotool key F7')
t.waitfor(function() return balloons('Automation error') == 2 end, 5000, 'the second error balloon')

-- A hotkey registered later, with a lock key on. (The window manager keeps
-- the Windows key for itself, so the test does without it.)
qx.registerhotkey('^+vk_f8', function() later = true end)
os.execute('xdotool key Num_Lock')
os.execute('xdotool key ctrl+shift+F8')
t.waitfor(function() return later end, 5000, 'a hotkey with Num Lock on')
os.execute('xdotool key Num_Lock')
qx.registerhotkey('^F5', function() error('never registered') end)
os.execute('xdotool key ctrl+alt+k')
t.waitfor(function() return hotkeyhits == 3 end, 5000, 'the first hotkey again')
assert(balloons('Error in settings') == 0)
t.close(w)
