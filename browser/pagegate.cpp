#include "browser/pagegate.h"

void pagegate::close() {
  isopen = false;
  ++closes;
}

void pagegate::urlchanged(bool serviceorigin) {
  if (!serviceorigin) close();
}

void pagegate::connected(int document, bool serviceorigin) {
  current = document;
  isopen = serviceorigin && document >= 0;
}

// An answer to an older question may come from a document that has since
// begun to leave.
void pagegate::answered(unsigned asked, int document, bool serviceorigin) {
  if (asked == closes && serviceorigin && iscurrent(document)) isopen = true;
}
