#pragma once

#include "browser/dispatcher.h"

class trayicon;
class pluginhost;

// The tray icon's page-defined menu as the dispatcher fills it.
class traymenuadapter : public traymenu {
 public:
  explicit traymenuadapter(trayicon &tray) : tray(tray) {}
  void addmenuitem(const std::string &group, const std::string &label, bool checked) override;
  void removemenugroup(const std::string &group) override;

 private:
  trayicon &tray;
};

// The plugin host as the dispatcher reaches it.
class pluginrequestsadapter : public pluginrequests {
 public:
  explicit pluginrequestsadapter(pluginhost &host) : host(host) {}
  void loadqxp(const std::string &url, const std::string &requestid) override;
  void makeqxpcall(int number, const std::string &fn, const std::string &data, const std::string &requestid) override;

 private:
  pluginhost &host;
};
