-- Finding, reading, placing and showing real X11 windows.
local t = require('testlib')
local w = t.testwindow('Orva Test Window')
local top = w.handle
t.activate(w.id)

-- Top-level windows are searched from the null handle, managed windows first:
-- the unmapped leader window above the frame, with the same class and title,
-- does not shadow the window; class and title match in any case.
local leader = tonumber(t.read(w.log):match('leader (%d+)'))
assert(qx.getclassname(test.window(leader)) == 'OrvaTestFrame', 'the leader window exists')
local found = qx.findwindow(test.window(0), 'orvatestFRAME', 'ORVA Test window')
assert(found and test.windowid(found) == w.id, 'findwindow among top-level windows')
local order = {}
for k, v in pairs(qx.enumchildwindows(test.window(tonumber(t.sh('xwininfo -root'):match('Window id: (%w+)'))))) do
  order[test.windowid(v)] = k
end
assert(order[w.id] < order[leader], 'below the root, managed windows come first')
assert(qx.findwindow(test.window(0), 'OrvaTestFrame', 'No such title') == nil)
assert(select('#', qx.findwindow(nil, 'OrvaTestFrame', nil)) == 0, 'no handle, no result')
assert(test.windowid(qx.getactivewindow()) == w.id and test.windowid(qx.getforegroundwindow()) == w.id)

assert(qx.getwindowtext(top) == 'Orva Test Window')
assert(qx.getclassname(top) == 'OrvaTestFrame')
assert(qx.getcontroltext(top) == 'Orva Test Window')

-- Children in creation order, each parent before its own children, from key 0.
local kids = qx.enumchildwindows(top)
assert(#kids == 4 and kids[0] and kids[5] == nil, 'five descendants')
assert(qx.getwindowtext(kids[0]) == 'OK' and qx.getclassname(kids[0]) == 'OrvaButton')
assert(qx.getwindowtext(kids[1]) == 'Edit me' and qx.getclassname(kids[1]) == 'OrvaEdit')
assert(qx.getwindowtext(kids[2]) == 'OK', 'the edit window holds a child of its own')
assert(qx.getwindowtext(kids[3]) == string.rep('L', 254), 'titles are cut to 254 characters')
assert(qx.getwindowtext(kids[4]) == 'Caf\xC3\xA9 \xE2\x82\xAC')
assert(test.windowid(qx.findwindow(top, nil, 'OK')) == test.windowid(kids[0]))
assert(test.windowid(qx.findwindow(top, 'OrvaEdit', nil)) == test.windowid(kids[1]))
assert(qx.findwindow(top, 'OrvaEdit', 'OK') == nil)
assert(next(qx.enumchildwindows(kids[0])) == nil)

-- The owner's process, also for child windows.
local pid = tonumber(t.sh('xdotool getwindowpid ' .. w.id))
local p1, p2 = qx.getwindowthreadprocessid(top)
assert(p1 == pid and p2 == pid, 'process id ' .. tostring(p1))
assert(qx.getwindowthreadprocessid(kids[2]) == pid)
assert(qx.getcurrentthreadid() > 0)

-- Rectangles and conversions: the OK child sits at (10, 10) with a 1-pixel border.
local origin = qx.clienttoscreen(top, {x = 0, y = 0})
local r = qx.getwindowrect(kids[0])
assert(r.left == origin.x + 10 and r.top == origin.y + 10, 'child rectangle')
assert(r.right == r.left + 82 and r.bottom == r.top + 32)
local c = qx.screentoclient(kids[0], {x = origin.x + 20, y = origin.y + 20})
assert(c.x == 9 and c.y == 9 and math.type(c.x) == 'float')
local m = qx.mapwindowpoints(kids[0], top, {x = 0, y = 0})
assert(m.x == 11 and m.y == 11)
local tr = qx.getwindowrect(top)
assert(tr.left <= origin.x and tr.top < origin.y and tr.right >= origin.x + 400, 'frame included')
assert(qx.getwindowrect(test.window(0)) == nil)

-- The cursor and the windows under it.
qx.setcursorpos({x = origin.x + 50, y = origin.y + 25})
local cur = qx.getcursorpos()
assert(cur.x == origin.x + 50 and cur.y == origin.y + 25)
assert(t.sh('xdotool getmouselocation'):find('x:' .. math.tointeger(cur.x) .. ' y:' .. math.tointeger(cur.y)))
assert(test.windowid(qx.windowfrompoint()) == test.windowid(kids[0]))
assert(test.windowid(qx.childwindowfrompoint(top)) == test.windowid(kids[0]))
qx.setcursorpos({x = origin.x + 300, y = origin.y + 250})
assert(test.windowid(qx.childwindowfrompoint(top)) == w.id, 'no child there: the parent')
qx.setcursorpos({x = tr.right + 50, y = origin.y})
assert(test.windowid(qx.childwindowfrompoint(top)) == 0, 'outside the parent: the null handle')

-- Showing and hiding.
assert(qx.showwindow(top, qx.SW_HIDE) == 1)
t.waitfor(function() return not t.visible(w.id) end, 5000, 'the window to hide')
assert(qx.showwindow(top, qx.SW_HIDE) == 0)
assert(qx.showwindow(top, qx.SW_SHOW) == 0)
t.waitfor(function() return t.visible(w.id) end, 5000, 'the window to show')
t.waitfor(function() return qx.showwindow(top, qx.SW_SHOWNA) == 1 end, 5000, 'visible again')
qx.showhide(top)
t.waitfor(function() return not t.visible(w.id) end, 5000, 'showhide to hide')
qx.showhide(top)
t.waitfor(function() return t.visible(w.id) end, 5000, 'showhide to show')
t.waitfor(function() return test.windowid(qx.getactivewindow()) == w.id end, 5000, 'showhide to activate')
assert(qx.showwindow(top, 42) == 0, 'not a show command')

-- Without a window, showhide toggles the program's main window.
local before = test.mainvisible()
qx.showhide()
t.waitfor(function() return test.mainvisible() ~= before end, 2000, 'the main window to toggle')
qx.showhide()
t.waitfor(function() return test.mainvisible() == before end, 2000, 'the main window to toggle back')
qx.showhide(io.stdout)
t.waitfor(function() return test.mainvisible() ~= before end, 2000, 'a non-window toggles the main window')

-- Focus.
t.activate(w.id)
local previous = qx.setfocus(kids[1])
assert(previous ~= nil and test.windowid(qx.getfocus()) == test.windowid(kids[1]))
assert(qx.setfocus(test.window(0)) == nil)

-- Handles of windows that are gone give empty answers.
t.close(w)
t.waitfor(function() return qx.getwindowrect(top) == nil end, 5000, 'the window to go away')
assert(qx.getwindowtext(top) == '' and qx.getclassname(top) == '' and #qx.enumchildwindows(top) == 0)
assert(qx.getcontroltext(top) == nil)
