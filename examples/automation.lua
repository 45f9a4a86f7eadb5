-- Example automation.lua for orvalink Desktop, loaded with require once the
-- window and the tray icon exist. It registers:
--   Ctrl+Shift+D  dial the phone number selected in any application
--   Ctrl+Shift+H  hang up
--   Ctrl+Shift+O  show or hide the program's window
-- and shows events the page sends with winOnEvent in a tray balloon.
-- The hotkey texts: '^' Ctrl, '+' Shift, '!' Alt, '~' the Windows key, in
-- front of a key name ('D', 'VK_F9', ...).

-- The number in a text: separators (space - . ( )) dropped, then digits,
-- '*' and '#' with an optional leading '+', at most 20 bytes; nil otherwise.
local function dialable(text)
  if type(text) ~= 'string' then return nil end
  local number = text:gsub('[%s%-%.%(%)]', '')
  if #number <= 20 and number:find('^%+?[%d%*#]*%d[%d%*#]*$') then return number end
  return nil
end

-- The selection of the focused control, read through the accessibility
-- service (AT-SPI): works for applications that expose their controls (GTK,
-- Qt with accessibility on, ...). The offsets count characters of UTF-8 text.
local function selectionbyaccessibility()
  local text, sel = qx.getactivecontroltext(), qx.getactivecontrolseltext()
  if not text or not sel or sel.e <= sel.s then return nil end
  local first = utf8.offset(text, math.tointeger(sel.s) + 1)
  local after = utf8.offset(text, math.tointeger(sel.e) + 1)
  if not first or not after then return nil end
  return text:sub(first, after - 1)
end

-- The selection copied with Ctrl+C, for applications that are not
-- accessible: the copy shows as a change of the clipboard's text. When the
-- text does not change within two seconds, nothing new was selected (or the
-- selection is what the clipboard held): its text is used. The selection
-- stays on the clipboard, as after the user's own Ctrl+C.
local function selectionbycopy()
  local before = qx.getclipboardtext()
  qx.sendstring('^c')
  for _ = 1, 20 do
    qx.sleep(100)
    local now = qx.getclipboardtext()
    if now ~= before then return now end
  end
  return before
end

qx.registerhotkey(dialhotkey or '^+D', function()
  local number = dialable(selectionbyaccessibility() or selectionbycopy())
  if number then
    qx.dial(number)
  else
    qx.alert('Dial', 'Select a phone number first')
  end
end)

qx.registerhotkey('^+H', function() qx.hangup() end)
qx.registerhotkey('^+O', function() qx.showhide() end)

-- The JSON module is built into the program: open it from the executable.
local cjson = package.loadlib('/proc/self/exe', 'luaopen_cjson')()

qx.onevent(function(event)
  local kind = type(event) == 'table' and event.type or type(event)
  qx.alert('Page event: ' .. tostring(kind), cjson.encode(event))
end)

return true
