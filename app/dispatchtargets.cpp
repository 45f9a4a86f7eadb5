#include "app/dispatchtargets.h"

#include <QString>

#include "app/trayicon.h"
#include "plugins/pluginhost.h"

void traymenuadapter::addmenuitem(const std::string &group, const std::string &label, bool checked) {
  tray.addmenuitem(QString::fromStdString(group), QString::fromStdString(label), checked);
}

void traymenuadapter::removemenugroup(const std::string &group) { tray.removemenugroup(QString::fromStdString(group)); }

void pluginrequestsadapter::loadqxp(const std::string &url, const std::string &requestid) {
  host.loadqxp(url, requestid);
}

void pluginrequestsadapter::makeqxpcall(int number, const std::string &fn, const std::string &data,
                                        const std::string &requestid) {
  host.makeqxpcall(number, fn, data, requestid);
}
