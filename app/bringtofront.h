#pragma once

class QWidget;
class ownwindow;

// Makes a shown top-level window the active one, raised above the others,
// for a request a later start handed over (a second launch, a clicked
// telephone link), through the desktop's `windowstate`. A window that is not
// mapped yet is asked for once it is, within two seconds.
void bringtofront(QWidget &window, ownwindow &windowstate);
