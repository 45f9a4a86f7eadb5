-- The focused control's text through accessibility, and the clipboard.
local t = require('testlib')
local log = os.tmpname()
os.execute('QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ' .. t.quote(os.getenv('ORVA_FIELDWINDOW')) ..
           " 'Orva Field' 'initial text' > " .. t.quote(log) .. ' 2>&1 &')
t.waitfor(function() return t.read(log):find('ready') end, 10000, 'the field window')
local id = tonumber(t.sh("xdotool search --sync --name '^Orva Field$' | head -n 1"))
t.activate(id)

t.waitfor(function() return qx.getactivecontroltext() == 'initial text' end, 15000, 'the focused field')
qx.setactivecontroltext('h\xC3\xA9llo w\xC3\xB6rld')
assert(qx.getactivecontroltext() == 'h\xC3\xA9llo w\xC3\xB6rld')
assert(qx.getactivecontroltext(1) == 'h\xC3\xA9llo w\xC3\xB6rld', 'raw mode reads the same text')
os.execute('xdotool key ctrl+a')
t.waitfor(function() local s = qx.getactivecontrolseltext(); return s and s.e == 11 end, 5000, 'select all')
local sel = qx.getactivecontrolseltext()
assert(sel.s == 0 and sel.e == 11 and math.type(sel.s) == 'float')
os.execute('xdotool key End')
t.waitfor(function() local s = qx.getactivecontrolseltext(); return s.s == 11 and s.e == 11 end, 5000, 'the caret')
qx.sendstring(' Ab1')
t.waitfor(function() return qx.getactivecontroltext() == 'h\xC3\xA9llo w\xC3\xB6rld ab1' end, 5000, 'typed text')
assert(qx.getcontroltext(test.window(id)) == 'Orva Field')

-- An application that does not answer costs a bounded wait, not a hang.
local pid = t.sh('xdotool getwindowpid ' .. id)
os.execute('kill -STOP ' .. pid)
local start = test.millis()
local frozen = qx.getactivecontroltext()
local waited = test.millis() - start
os.execute('kill -CONT ' .. pid)
assert(frozen == nil, 'a stopped application has no text: ' .. tostring(frozen))
assert(waited < 8000, 'waited ' .. waited)
print('stopped application answered nothing after ' .. waited .. ' ms')
os.execute('xdotool windowkill ' .. id)
os.remove(log)

-- Our own text, read by another program and by us, byte for byte.
qx.setclipboardtext('caf\xC3\xA9 bytes')
local out = os.tmpname()
os.execute('xclip -o -selection clipboard > ' .. t.quote(out) .. ' 2>/dev/null &')
t.waitfor(function() return t.read(out) == 'caf\xC3\xA9 bytes' end, 5000, 'xclip to read our text')
os.remove(out)
assert(qx.getclipboardtext() == 'caf\xC3\xA9 bytes')

-- Another program's text, seen at once even though the event loop has not run.
-- (xclip takes the selection in a child process a moment after it returns.)
os.execute("printf 'from xclip' | xclip -i -selection clipboard >/dev/null 2>&1")
t.waitfor(function() return qx.getclipboardtext() == 'from xclip' end, 5000, 'the text of xclip')

-- A text larger than one request comes in pieces (INCR) and is read whole.
local big = os.tmpname()
local f = assert(io.open(big, 'wb'))
f:write(string.rep('0123456789', 300000))
f:close()
os.execute('xclip -i -selection clipboard ' .. t.quote(big) .. ' >/dev/null 2>&1')
t.waitfor(function() return #qx.getclipboardtext() == 3000000 end, 5000, 'the large text whole')
os.remove(big)

-- An owner that serves once and goes: the clipboard is then empty.
os.execute("printf 'once' | xclip -i -selection clipboard -l 1 >/dev/null 2>&1")
t.waitfor(function() return qx.getclipboardtext() == 'once' end, 5000, 'the text served once')
t.waitfor(function() return qx.getclipboardtext() == '' end, 5000, 'the owner to leave')
start = test.millis()
assert(qx.waitforclipboardtext(250) == '')
waited = test.millis() - start
assert(waited >= 250 and waited < 1500, 'waited ' .. waited)
assert(qx.waitforclipboardtext(0) == '')

-- Text that appears while the script waits.
os.execute("(sleep 0.5; printf 'late text' | xclip -i -selection clipboard) >/dev/null 2>&1 &")
start = test.millis()
assert(qx.waitforclipboardtext(5000) == 'late text')
waited = test.millis() - start
assert(waited >= 300 and waited < 4000, 'waited ' .. waited)
-- Taking the clipboard back ends the last xclip.
qx.setclipboardtext('')
