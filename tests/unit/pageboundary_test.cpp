#include <gtest/gtest.h>

#include "browser/linkrules.h"
#include "browser/pagegate.h"

TEST(pagegate, messages_go_only_to_the_connected_service_document_between_navigations) {
  pagegate gate;
  // A document that has not connected has no number: asking it opens nothing.
  gate.close();
  gate.answered(gate.asking(), -1, true);
  EXPECT_FALSE(gate.open());
  gate.connected(1, true);
  EXPECT_TRUE(gate.open());

  // A navigation that leaves the document in place: the document's own answer
  // opens the gate again; an answer to a question asked before a later
  // navigation began, or from another document, does not.
  gate.close();
  const unsigned asked = gate.asking();
  gate.answered(asked, 2, true);
  EXPECT_FALSE(gate.open());
  gate.close();
  gate.answered(asked, 1, true);
  EXPECT_FALSE(gate.open());
  gate.answered(gate.asking(), 1, true);
  EXPECT_TRUE(gate.open());

  // A page of another origin closes it, also within a document; a document
  // that connects while the page shows another origin does not open it.
  gate.urlchanged(true);
  EXPECT_TRUE(gate.open());
  gate.urlchanged(false);
  EXPECT_FALSE(gate.open());
  gate.connected(2, false);
  EXPECT_FALSE(gate.open());
  EXPECT_TRUE(gate.iscurrent(2));
  EXPECT_FALSE(gate.iscurrent(1));
}

TEST(linkrules, only_web_addresses_go_to_the_system_browser_and_other_schemes_are_other_programs) {
  EXPECT_TRUE(systembrowsermayopen("https://example.com/signin?x=1"));
  EXPECT_TRUE(systembrowsermayopen("HTTP://127.0.0.1:8765/docs/desktop"));
  for (const char *url : {"file:///etc/passwd", "javascript:alert(1)", "sip:123", "http:relative", "http://",
                          "ftp://example.com/", "", " https://example.com/"})
    EXPECT_FALSE(systembrowsermayopen(url)) << url;
  EXPECT_TRUE(isbrowserscheme("https"));
  EXPECT_TRUE(isbrowserscheme("qrc"));
  EXPECT_FALSE(isbrowserscheme("sip"));
  EXPECT_FALSE(isbrowserscheme("callto"));
  EXPECT_FALSE(isbrowserscheme("HTTP"));  // schemes arrive in lower case
}
