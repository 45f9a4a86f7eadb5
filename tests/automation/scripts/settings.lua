-- Settings of the automation test host.
qxmode = qx.JUSTME
title = 'Orva H\xC3\xB4te de test'
