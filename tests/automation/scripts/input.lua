-- Keys and clicks reach the focused X11 window as real device input.
local t = require('testlib')
local w = t.testwindow('Orva Input Window')
t.activate(w.id)
local kids = qx.enumchildwindows(w.handle)
-- Keep the pointer off the child windows' edges.
local r = qx.getwindowrect(kids[1])
qx.setcursorpos({x = r.left + 20, y = r.top + 15})

local function typed(send)
  local skip = #t.lines(w.log)
  send()
  test.pump(300)
  return t.since(w, skip, '^[pr]')
end

local function keys(text) return typed(function() qx.sendstring(text) end) end

assert(keys('Ab1') == 'press a,release a,press b,release b,press 1,release 1', keys('Ab1'))
local ctrl = keys('^a')
assert(ctrl == 'press Control_L,press ctrl+a,release ctrl+a,release ctrl+Control_L', ctrl)
assert(keys('a.b') == 'press a,release a,press b,release b')
assert(keys('x+') == 'press x,release x')
assert(keys('+\t') == '')
assert(keys(' \t\n') == 'press space,release space,press Tab,release Tab,press Return,release Return')
assert(typed(function() qx.sendinput(qx.VK_RETURN, qx.INPUT_KEYBOARD, qx.KEYEVENTF_KEYDOWNUP) end) ==
       'press Return,release Return')
assert(typed(function()
  qx.sendinput(qx.VK_F3, qx.INPUT_KEYBOARD, qx.KEYEVENTF_KEYDOWN)
  qx.sendinput(qx.VK_F3, qx.INPUT_KEYBOARD, qx.KEYEVENTF_KEYUP)
end) == 'press F3,release F3')

-- A click at a pixel position lands on the window there.
local edit = test.windowid(kids[1])
local x, y = math.tointeger(r.left + 30), math.tointeger(r.top + 12)
local skip = #t.lines(w.log)
qx.sendinput(qx.VK_LBUTTON, qx.INPUT_MOUSE, {x = x + 0.7, y = y})
test.pump(300)
local clicks = t.since(w, skip, 'button')
assert(clicks == ('buttonpress 1 %d %d %d,buttonrelease 1 %d %d %d'):format(edit, x, y, edit, x, y), clicks)
local cur = qx.getcursorpos()
assert(cur.x == x and cur.y == y)
skip = #t.lines(w.log)
qx.sendinput(qx.VK_RBUTTON, qx.INPUT_MOUSE, {x = x, y = y})
test.pump(300)
assert(t.since(w, skip, 'button') == ('buttonpress 3 %d %d %d,buttonrelease 3 %d %d %d'):format(edit, x, y, edit, x, y))
t.close(w)
