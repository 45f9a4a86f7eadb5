#pragma once

// Whether messages for the page may go to the document the main frame holds:
// only to a document of the service's origin whose bridge has connected and
// been given a number. From the moment a navigation starts nothing goes out,
// until the next service document connects, or until the navigation has ended
// leaving the connected document in place (a download, a link to another
// program), which the program confirms by asking the document for its number.
class pagegate {
 public:
  bool open() const { return isopen; }
  // `document` is the number given to the document that connected last.
  bool iscurrent(int document) const { return document >= 0 && document == current; }

  // A navigation of the main frame has begun, or the page's renderer ended.
  void close();
  // The page's address has changed (also within a document).
  void urlchanged(bool serviceorigin);
  // A document's bridge has connected and been given the number `document`;
  // `serviceorigin`: the page's address is of the service's origin.
  void connected(int document, bool serviceorigin);

  // Asking the document that is there now for its number: the question's
  // mark, then its answer (-1 when it has none).
  unsigned asking() const { return closes; }
  void answered(unsigned asked, int document, bool serviceorigin);

 private:
  bool isopen = false;
  int current = -1;
  unsigned closes = 0;
};
