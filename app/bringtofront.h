#pragma once

class QWidget;

// Makes a shown top-level window the active one, raised above the others,
// for a request a later start handed over (a second launch, a clicked
// telephone link), through the platform's activatewindow. A window that is
// not mapped yet is asked for once it is, within two seconds.
void bringtofront(QWidget &window);
