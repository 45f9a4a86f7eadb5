-- Shared helpers of the automation test scripts: helper windows, waiting
-- while the event loop runs, reading logs and running commands.
local M = {}

function M.read(path)
  local f = io.open(path)
  if not f then return '' end
  local s = f:read('a')
  f:close()
  return s
end

function M.lines(path)
  local t = {}
  for l in M.read(path):gmatch('[^\n]+') do t[#t + 1] = l end
  return t
end

-- Runs the event loop until cond() holds; fails after ms milliseconds.
function M.waitfor(cond, ms, what)
  local deadline = test.millis() + (ms or 15000)
  while not cond() do
    if test.millis() > deadline then error('timed out waiting for ' .. (what or 'a condition'), 2) end
    test.pump(50)
  end
end

function M.quote(s) return "'" .. tostring(s):gsub("'", "'\\''") .. "'" end

-- A command's standard output without trailing white space.
function M.sh(cmd)
  local p = io.popen(cmd)
  local out = p:read('a')
  p:close()
  return (out:gsub('%s+$', ''))
end

-- Starts the X11 test window and waits until it is mapped.
function M.testwindow(title)
  local log = os.tmpname()
  os.execute(M.quote(os.getenv('ORVA_TESTWINDOW')) .. ' ' .. M.quote(log) .. ' ' .. M.quote(title) ..
             ' >/dev/null 2>&1 &')
  M.waitfor(function() return M.read(log):find('ready') end, 10000, 'the test window')
  local id = tonumber(M.read(log):match('window (%d+)'))
  return {id = id, log = log, handle = test.window(id)}
end

-- Makes a window the active one and waits until the window manager agrees.
function M.activate(id)
  os.execute('xdotool windowactivate --sync ' .. id .. ' 2>/dev/null')
  M.waitfor(function() return test.windowid(qx.getactivewindow()) == id end, 15000, 'window activation')
end

function M.visible(id)
  return M.sh('xdotool search --onlyvisible --name . 2>/dev/null'):find('%f[%d]' .. id .. '%f[%D]') ~= nil
end

function M.close(w)
  os.execute('xdotool windowkill ' .. w.id .. ' 2>/dev/null')
  os.remove(w.log)
end

-- The log lines a window wrote after the first `skip` lines, joined by commas.
function M.since(w, skip, pattern)
  local out = {}
  for i, l in ipairs(M.lines(w.log)) do
    if i > skip and (not pattern or l:find(pattern)) then out[#out + 1] = l end
  end
  return table.concat(out, ',')
end

return M
