#pragma once

#include <QObject>
#include <QUrl>

// "mailto:" and "tel:" links in the page are not handed to other programs:
// the engine passes such links to the desktop's URL handlers, so the program
// registers itself as their handler and drops them.
class schemeblocker : public QObject {
  Q_OBJECT
 public:
  schemeblocker();
  ~schemeblocker() override;

 public slots:
  void drop(const QUrl &url);
};
