-- Page events, requests to the page, notices and the settings the host ran.
local t = require('testlib')

local events = {}
qx.onevent(function(e) events[#events + 1] = e end)
test.pageevent('{"type":"incoming","number":"123","n":[1,2]}')
test.pageevent('"text"')
test.pageevent('{broken')
test.pageevent('[1,')
assert(#events == 2, 'invalid JSON is dropped')
assert(type(events[1]) == 'table' and events[1].type == 'incoming' and events[1].n[2] == 2)
assert(events[2] == 'text')
qx.onevent(function() error('callback failure') end)
test.pageevent('{}')
qx.onevent()
test.pageevent('1')
assert(#events == 2)

qx.dial('0123456789012345678901234')
qx.dial('')
qx.hangup()
local sent = test.pagemessages()
assert(#sent == 3)
assert(sent[1].name == 'dial' and sent[1][1] == '01234567890123456789')
assert(sent[2].name == 'dial' and sent[2][1] == '')
assert(sent[3].name == 'hangup' and sent[3][1] == nil)

qx.alert(string.rep('T', 70), 'Body')
local last = test.balloons()[#test.balloons()]
assert(last.text == 'Body' and last.title:sub(1, 10) == 'TTTTTTTTTT')
for _, b in ipairs(test.balloons()) do assert(b.title ~= 'Automation error', 'event errors are silent') end

-- settings.lua of this directory ran before the windows existed.
assert(test.app('title') == 'Orva H\xC3\xB4te de test', test.app('title'))
assert(test.app('datadir') == os.getenv('LOCALAPPDATA') .. '/orvalink Desktop for Windows')
for name, v in pairs(qx) do
  if type(v) == 'number' then assert(math.type(v) == 'float', name) end
end

-- The JSON module opens from the executable itself.
local open = assert(package.loadlib(test.app('instance'), 'luaopen_cjson'))
assert(open().encode({1, 2}) == '[1,2]')
assert(package.loadlib(test.app('instance'), 'luaopen_cjson_safe'))

-- Modules come from the settings directory only.
assert(t == require('testlib'))
local f = assert(io.open('cwdmodule.lua'), 'the working directory holds cwdmodule.lua')
f:close()
assert(not pcall(require, 'cwdmodule'))
