#include "browser/pagechannel.h"

void pagechannel::post(const QJsonArray &wire) { onmessage(pagemessage::fromjson(wire)); }
