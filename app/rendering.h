#pragma once

#include <string>

// How the window's contents (the page included) are drawn. With a graphics
// device, through OpenGL on it. Without one, OpenGL would be emulated on the
// processor (Mesa's llvmpipe): Qt Quick's own software renderer draws the
// same for less, and the engine composites in software, which it does there
// anyway. On a virtual machine without a graphics device the program then
// starts in about three quarters of the time, with an eighth less memory.
enum class drawing {
  gpu,
  software,
  userchoice,  // QT_QUICK_BACKEND or QSG_RHI_BACKEND set: Qt follows those
};

// `graphicsdevice`: whether the machine has one (graphicsdevicein);
// `quickbackend`, `rhibackend`: the values of QT_QUICK_BACKEND and
// QSG_RHI_BACKEND (null when unset).
drawing choosedrawing(bool graphicsdevice, const char *quickbackend, const char *rhibackend);

// Whether `devdir` (/dev) holds a graphics device: a DRI node (every Mesa and
// kernel driver, virtual machines' virtio-gpu and vmwgfx included) or the
// NVIDIA driver's control device.
bool graphicsdevicein(const std::string &devdir);

// The debug line that says what was chosen.
std::string drawingline(drawing d);
