-- Example settings.lua for orvalink Desktop. The program runs this file once
-- at start-up, before it has a window or a tray icon, from its own directory
-- (beside the executable; /etc/orvalink-desktop/ for the Debian package).
-- Errors are shown in a tray balloon titled "Error in settings"; whatever was
-- set before the error still counts.

-- Where the browser data, downloads and plugins live:
--   qx.JUSTME   per user:  $LOCALAPPDATA/orvalink Desktop for Windows
--   qx.ALLUSERS shared:    $ALLUSERSPROFILE/orvalink Desktop for Windows
-- When the variable is not set (the usual case on Linux), both use
-- ${XDG_DATA_HOME:-~/.local/share}/orvalink Desktop for Windows.
qxmode = qx.JUSTME

-- The main window's title (UTF-8, at most 99 UTF-16 units).
title = 'orvalink Desktop (example settings)'

-- The tray icon, from an image file; a file that cannot be read leaves the
-- tray icon without an image.
-- icon = '/usr/share/icons/hicolor/64x64/apps/orvalink-desktop.png'

-- Any other global stays in the script state for automation.lua to use.
dialhotkey = '^+D'
