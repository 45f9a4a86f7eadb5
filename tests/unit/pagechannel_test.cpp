// needs: gui
// The page channel's messages to the page: those sent while a post is
// handled travel in its reply; none is lost or overtaken.
#include "browser/pagechannel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <vector>

namespace {

QJsonArray wire(const char *name) { return QJsonArray{QString::fromLatin1(name)}; }

TEST(pagechannel, messages_sent_during_a_post_go_in_its_reply_and_keep_their_order_past_a_nested_loop) {
  int argc = 1;
  char arg0[] = "pagechannel";
  char *argv[] = {arg0, nullptr};
  QCoreApplication app(argc, argv);

  std::function<void(const pagemessage &)> onpost;
  pagechannel bridge({[&](const pagemessage &m, int) { onpost(m); }, [] { return 1; }, [](const QString &, int) {}});
  std::vector<QString> signalled;
  QObject::connect(&bridge, &pagechannel::message,
                   [&](const QJsonArray &w) { signalled.push_back(w.at(0).toString()); });

  onpost = [&](const pagemessage &) {
    bridge.send(wire("a"));
    bridge.send(wire("b"));
  };
  EXPECT_EQ(bridge.post(wire("call"), 1), (QJsonArray{wire("a"), wire("b")}));
  EXPECT_TRUE(signalled.empty());

  // A dialog's loop inside the handler: what it sends goes out at once, after
  // what the handler had sent before it; the rest stays in the reply.
  onpost = [&](const pagemessage &) {
    bridge.send(wire("before"));
    QEventLoop nested;
    QTimer::singleShot(0, &nested, [&] {
      bridge.send(wire("inside"));
      nested.quit();
    });
    nested.exec();
    bridge.send(wire("after"));
  };
  EXPECT_EQ(bridge.post(wire("call"), 1), (QJsonArray{wire("after")}));
  EXPECT_EQ(signalled, (std::vector<QString>{"before", "inside"}));

  // Outside a post a message goes out with the signal.
  bridge.send(wire("later"));
  EXPECT_EQ(signalled.back(), "later");
}

}  // namespace
